#pragma once
// One scripted exchange for a machine without a display: open the first port, send AT+GMR, wait
// for the reply to be shown, save a picture of the window and quit.
#include <QString>

class TForm1;

// Starts the script on the running event loop; the application exits with 0 when the reply was
// shown and the picture written, 1 otherwise.
void StartDemoScreenshot(TForm1& form, const QString& path);
