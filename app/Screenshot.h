// Picture-taking mode for documentation and review: when
// QUILLET_SCREENSHOT_WINDOW and QUILLET_SCREENSHOT_FILE are set, the program
// shows the named window, saves a picture of it and quits.
#pragma once

class TFormMain;

// Arms the screenshot when the variables are set; true when armed.
bool ArmScreenshot(TFormMain* main);
