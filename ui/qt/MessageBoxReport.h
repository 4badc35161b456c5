// The common error report as a Qt message box.
#pragma once

// Makes ReportError show a critical message box over the active window, with
// the application's title as caption and one OK button.
void InstallMessageBoxReporter();
