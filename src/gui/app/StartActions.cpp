#include "app/Main.h"

#include <QTimer>

// Runs once, 50 ms after the main window appeared: brings the instrument into
// a known state. The device work joins here with the device object.
void TfmMain::tmStartActionsTimer() { tmStartActions->stop(); }
