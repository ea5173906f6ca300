"""Checks the compiled NetGlow.chm: its directory holds every topic, the
contents file and the context-number tables, and the system file names the
contents file and the default topic."""
import sys

from chm_reader import Chm

TOPICS = ['index.htm', 'lamp.htm', 'menu.htm', 'setup.htm', 'log.htm', 'troubleshooting.htm']


def main(path):
    chm = Chm(path)
    names = set(chm.names())
    failures = []
    for name in ['/' + t for t in TOPICS] + ['/NetGlow.hhc', '/#IVB', '/#STRINGS', '/#SYSTEM']:
        if name not in names:
            failures.append('missing ' + name)
    ivb = chm.entries.get('/#IVB')
    # One context number: a length word and one (number, string offset) pair.
    if ivb is not None and ivb[2] != 12:
        failures.append('#IVB holds %d bytes, expected one pair (12)' % ivb[2])
    system = chm.read('/#SYSTEM')
    for text in (b'NetGlow.hhc', b'index.htm'):
        if text not in system:
            failures.append('#SYSTEM does not name %s' % text.decode())
    for failure in failures:
        print(failure)
    print('%d entries, %d failures' % (len(names), len(failures)))
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1]))
