// Conversion between the program's 8-bit text (the locale's codeset) and
// QString, used at the window boundary only.
#pragma once

#include <QString>
#include <string>

QString ToQt(const std::string& text);
std::string FromQt(const QString& text);
