#pragma once

#include <QIcon>

// The application icon, in every size it is drawn in, from the resources
// compiled into the executable.
QIcon ApplicationIcon();
