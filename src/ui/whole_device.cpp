#include "principal.h"

// Whole-memory read, whole-memory programming and the erase.
void TForm1::LeerEquipo1Click() {}
void TForm1::Leerequipo2() {}
void TForm1::Grabartodoelequipo1Click() {}
void TForm1::BorrarMemoriaEquipo1Click() {}
