#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// The form's modal message boxes, each with one OK button: the tool's own notices, captioned
// "Dialog", and the error display for a typed number that does not convert. Tests have them
// record the texts instead, so that an action showing one runs without a modal box.
class MessageDialog {
public:
    enum class Kind { Notice, Error };

    void Show(QWidget* parent, const QString& text, Kind kind = Kind::Notice);

    // Test hook: from now on Show only records the text.
    void RecordInstead() { recording_ = true; }
    const QStringList& RecordedTexts() const { return recorded_; }

private:
    bool recording_ = false;
    QStringList recorded_;
};
