// Windows laid out at fixed positions grow where a translated text needs
// more room than the English one had: the widget is widened, the widgets to
// its right in its row move along, and its containers (up to the window,
// whose fixed size grows too) widen to hold them. The English texts fit the
// design, so for them nothing moves.
#pragma once

class QWidget;

void GrowToFitTexts(QWidget* window);
