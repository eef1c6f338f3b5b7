#pragma once
// Common ground of the five monitoring windows: modeless top-level dialogs built from a
// numbered template, whose controls are found by their numeric ids (objectName).
#include <QDialog>

#include <string_view>

class QPlainTextEdit;

// Texts travel with "\r\n" line ends; a Qt text control ends lines with "\n" alone.
QString FromWindowsText(std::string_view utf8);

class CMonitorWindow : public QDialog {
    Q_OBJECT
public:
    int TemplateId() const { return m_nIDD; }

protected:
    CMonitorWindow(int nIDD, const QString& caption, Qt::WindowFlags flags);
    // A multi-line, word-wrapping, editable text control with a vertical scroll bar that
    // covers the whole client area at every size.
    QPlainTextEdit* AddFillingEdit(int nControlId);
    // Lays a control over the whole client area.
    void FillWith(QWidget* pControl);
    // Octets and point columns line up: a fixed-width font that has the Chinese glyphs too.
    static void UseFixedWidthFont(QWidget* pControl);

    // A caption without system menu: the program shows and hides the window.
    static constexpr Qt::WindowFlags kCaptionOnly =
        Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint;

private:
    int m_nIDD;
};
