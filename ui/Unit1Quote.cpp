// The quote button. The clipboard transform comes with its own change.
#include "Unit1.h"

void TForm1::B_QUOTEClick() {}
