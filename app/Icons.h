// The program's images, drawn at run time so no image files need shipping.
#pragma once

#include <QIcon>

QIcon ProgramIcon();
QIcon RecordIcon();
QIcon PlayIcon();
QIcon PauseIcon();
QIcon StopIcon();
QIcon SendIcon();
QIcon OptionsIcon();
