#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// The form's modal message boxes, each with one OK button: the tool's own notices, captioned
// "Dialog", and the error display for a typed number that does not convert. A notice may carry
// a detail, shown below its text (which file, and why). Tests have them record the texts
// instead (text and detail on two lines), so that an action showing one runs without a modal
// box.
class MessageDialog {
public:
    enum class Kind { Notice, Error };

    void Show(QWidget* parent, const QString& text, Kind kind = Kind::Notice,
              const QString& detail = {});

    // Test hook: from now on Show only records the text.
    void RecordInstead() { recording_ = true; }
    const QStringList& RecordedTexts() const { return recorded_; }

private:
    bool recording_ = false;
    QStringList recorded_;
};
