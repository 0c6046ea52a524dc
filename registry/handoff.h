// The hand-off channel: named text and tick fields of the main window through
// which the scans and their alert dialogs exchange the entry in question and
// the user's decision.
#pragma once
#include "toolkit/control.h"

namespace registry {

struct HandOffChannel {
  tk::Label& nazwa_klucza;
  tk::Label& wartosc_klucza;
  tk::Label& sekcja_rejestru;
  tk::Label& sciezka_pliku;
  tk::Label& nazwa_pliku;
  tk::Label& rozmiar_pliku;
  tk::Label& kontakt;
  tk::CheckBox& usun;
  tk::CheckBox& czarna_lista;
  tk::CheckBox& zabron;
};

}  // namespace registry
