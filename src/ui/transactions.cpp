#include "principal.h"

// Single-block sends and reads, answer handling, timers and the button lock.
void TForm1::SendPIClick() {}
void TForm1::SendPtyClick() {}
void TForm1::SendPSClick() {}
void TForm1::SendAFClick() {}
void TForm1::SendRTClick() {}
void TForm1::SendConfClick() {}
void TForm1::ReadPIClick() {}
void TForm1::ReadPTYClick() {}
void TForm1::ReadPSClick() {}
void TForm1::ReadAFClick() {}
void TForm1::ReadEditClick() {}
void TForm1::ReadConfClick() {}
void TForm1::enviart() {}
void TForm1::Enviatotal() {}
void TForm1::Comm1RxChar() {}
void TForm1::Timer1Timer() {}
void TForm1::Timer2Timer() {}
void TForm1::Timer3Timer() {}
void TForm1::desactiva() {}
void TForm1::activa() {}
