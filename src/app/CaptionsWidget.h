#pragma once
// Applying caption tables and fonts to real forms.

#include "app/Captions.h"

#include <QStringList>

class QAbstractButton;
class QWidget;

namespace velda {

class clsRegistry;

// Sets the text of every control the table lists, found on `form` by objectName
// (the form itself included), in the current language: buttons and labels get
// their text, group boxes and menus their title, actions their text, other
// widgets their window title. Returns the names of the listed controls that the
// form does not have.
QStringList applyCaptions(QWidget* form, const CaptionTable& table);

// Every widget of the form (the form too) gets the font `name` at `size`
// points, not bold.
void Apply_Font(QWidget* form, const QString& name, double size);

// The main window's menu captions, then its zoom lists filled and set to their
// first item; ListFilling is up meanwhile.
QStringList Set_MainMenus(QWidget* form);
// The main window's label and button captions.
QStringList Set_MainLabels(QWidget* form);

// A form's saved position (twips in the settings) applied to it, and its
// current position saved.
void Restore_FormPosition(QWidget* form, clsRegistry& registry, const QString& name);
void Save_FormPosition(const QWidget* form, clsRegistry& registry, const QString& name);

// F1 anywhere on the form presses its help button.
void Add_HelpShortcut(QWidget* form, QAbstractButton* helpButton);

} // namespace velda
