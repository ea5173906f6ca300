IDH_SETUP=setup.htm
