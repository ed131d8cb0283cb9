// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "diagnostics/DictationCheck.h"

#include <memory>

class QPlainTextEdit;
class QWidget;

namespace parlune {

// The self-check's window: "Parlune : test de collage", 520 × 160, centred, a title bar without
// buttons, one text field in the system font at 18 points. A widget: needs a QApplication.
class PasteTestWindow final : public DictationCheck::TestWindow
{
public:
    PasteTestWindow();
    ~PasteTestWindow() override;

    void show() override;
    bool isApplicationActive() const override;
    bool isKey() const override;
    bool textFieldHasFocus() const override;
    QString text() const override;
    void close() override;

private:
    std::unique_ptr<QWidget> m_window;
    QPlainTextEdit* m_textField;
};

} // namespace parlune
