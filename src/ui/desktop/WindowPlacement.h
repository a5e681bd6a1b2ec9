#pragma once

class QWidget;

namespace veltrano {

// Centres a secondary window over its owner (the main window), wherever that
// is now, and keeps it whole on the owner's screen.
void placeCentredOver(QWidget &window, const QWidget &owner);

} // namespace veltrano
