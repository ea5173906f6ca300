// Texts of the message boxes shown while the adapter table is built.
#pragma once

constexpr char MSG_FINDALLDEVS_FAILED[] = "The error occurred with the pcap_findalldevs function.";
constexpr char MSG_GUID_TOO_LONG[] = "GUID is too long.";
constexpr char MSG_NO_CAPTURE_DEVICE[] =
    "The network card which can be processed by WinPcap was not found.\n"
    " (administrator authority or XP compatibility mode may be necessity at NetGlow.)";
constexpr char MSG_TOO_MANY_CARDS[] = "There are too many network cards.";
constexpr char MSG_NAME_TOO_LONG[] = "A connection name is too long.";
constexpr char MSG_ADDRESS_TOO_LONG[] = "An IP address is too long.";
constexpr char MSG_REGISTRY_NOT_OPENED[] = "Registry was not able to be opened.";
constexpr char MSG_REGISTRY_DATA[] = "Data was unacquirable from registry.";
constexpr char MSG_CARD_NOT_FOUND[] =
    "A network card was not found.\n"
    " (administrator authority or XP compatibility mode may be necessity at NetGlow.)";
