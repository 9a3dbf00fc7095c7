#pragma once

#include <QWidget>

#include "app/form.h"

// Makes the widget for one row of the window table as a child of `parent`: its kind, name,
// text, items and table geometry. Null for the open-file dialog, which is no widget.
QWidget* MakeControl(const form::ControlSpec& control, QWidget* parent);
