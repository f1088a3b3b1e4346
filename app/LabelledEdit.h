#pragma once

class QLineEdit;

// A labelled edit is a line edit with a caption label named after it ("<edit>Caption"); the
// caption greys out together with the edit.
void SetLabelledEditEnabled(QLineEdit& edit, bool enabled);
