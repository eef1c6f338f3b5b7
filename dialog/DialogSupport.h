#pragma once
// What every dialog of the program shares: controls found by their numeric ids, the confirm and
// cancel buttons, and reading integer fields with the framework's messages.
#include <QString>

#include "dialog/IntegerField.h"

class QDialog;
class QLayout;
class QLineEdit;
class QWidget;

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

// Gives a control its numeric id, by which tests and the dialog find it again.
template <class Control>
Control* WithId(Control* pControl, int nId)
{
    pControl->setObjectName(QString::number(nId));
    return pControl;
}

// The confirm (id 1, the default) and cancel (id 2) buttons, right-aligned; no cancel
// button when its text is empty.
QLayout* ConfirmCancelButtons(QDialog* pDialog, const QString& confirm, const QString& cancel);

// Runs a dialog of the main window: modal to the strip only (the monitoring windows stay
// usable), centred on the desktop rather than on the thin strip, of fixed size like a
// dialog template. Returns its result.
int RunDialog(QDialog& dialog);

// Asks before a run count of 0 runs controls endlessly ("是" / "否", "否" the default);
// true when the operator confirms. Else the run-count field gets the focus, its text
// selected, so that a count can be set or the dialog cancelled.
bool ConfirmEndlessControls(QLineEdit* pRunTimes);

// Reads one integer field on confirm. On a bad value: the framework's message, the focus
// on the field with its text selected, and false.
bool ReadIntegerControl(QLineEdit* pEdit, const IntegerField& field, int& nValue);
