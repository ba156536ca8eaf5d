// The program's messages as the user reads them, in code page 1252, written
// out here rather than loaded from the string table so that a wrong string
// resource fails the tests.
#pragma once

#include <string>

namespace chromatte {
namespace test {

inline const char kGameKeyUnreadable[] =
    "Erreur de lecture des comptes dans la base de registre.\nAucun compte trouv\xE9.";
inline const char kNoAccount[] = "Aucun compte Zorvan trouv\xE9";
inline const char kPoolAccountUnreadable[] = "Erreur de lecture des comptes (pool) dans la base de registre.";
inline const char kChannelsNotSaved[] = "Les channels n'ont pas pu \xEAtre enregistr\xE9s dans la base de registre.";
inline const char kPoolNotSaved[] =
    "Le pool n'a pas pu \xEAtre enregistr\xE9 dans la base de registre.\nQuitter sans l'enregistrer ?";
inline const char kChannelExists[] = "Ce channel existe d\xE9j\xE0.\nSouhaitez vous l'\xE9" "craser ?";
inline const char kOutOfMemory[] = "M\xE9moire insuffisante pour terminer l'op\xE9ration.";
inline const char kChannelsChanged[] =
    "Les channels de ce compte ont \xE9t\xE9 modifi\xE9s par un autre programme depuis leur lecture.\n"
    "Les remplacer quand m\xEAme ?";
inline const char kChannelsUnread[] =
    "Les channels de ce compte n'ont pas tous pu \xEAtre lus : ceux qui n'ont pas \xE9t\xE9 lus seront effac\xE9s.\n"
    "Les remplacer quand m\xEAme ?";
inline const char kChannelsUnverified[] =
    "Chromatte n'a pas pu v\xE9rifier si un autre programme a modifi\xE9 les channels de ce compte depuis leur "
    "lecture.\nLes remplacer quand m\xEAme ?";
inline const char kPoolReadInPart[] =
    "Erreur de lecture du pool dans la base de registre.\nLes channels du pool n'ont pas tous pu \xEAtre lus : le "
    "pool ne sera pas enregistr\xE9 en quittant.";
inline const char kPoolUnread[] =
    "Les channels du pool n'ont pas tous pu \xEAtre lus au d\xE9marrage : le pool n'est pas enregistr\xE9, pour n'en "
    "perdre aucun.\nQuitter sans l'enregistrer ?";
inline const char kConfirmDelete[] =
    "Etes vous sure de vouloir effacer le(s) channel(s) s\xE9l\xE9" "ctionn\xE9(s) ?";

inline std::string PoolChannelsLost(int count) {
  return "Le pool est plein (512) : " + std::to_string(count) +
         " channel(s) ajout\xE9(s) par un autre programme seront perdu(s).\nQuitter quand m\xEAme ?";
}

inline std::string ChannelsUnreadable(const std::string& account) {
  return "Erreur de lecture des channels dans la base de registre.\nAucun channel trouv\xE9 dans \"" + account +
         "\".";
}

inline std::string ChannelsReadInPart(const std::string& account) {
  return "Erreur de lecture des channels dans la base de registre.\nLes channels de \"" + account +
         "\" n'ont pas tous pu \xEAtre lus.";
}

}  // namespace test
}  // namespace chromatte
