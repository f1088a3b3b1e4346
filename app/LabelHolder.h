#pragma once

class QLabel;

// A label whose text changes many times a second would have its whole page laid out and
// painted again each time: a label's new text asks the layout it sits in to recompute. Held in
// a widget of its own without a layout, taking that widget's place and size, the label paints
// only itself when its text changes.
void HoldOutsideTheLayout(QLabel& label);
