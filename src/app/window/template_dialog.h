// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <QDialog>
#include <QMap>

#include "app/window/dialog_template.h"
#include "app/window/dialog_units.h"

class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QTreeWidget;

// A modal dialog built from one of the program's templates: caption, frame, font, size and
// every control at the template's position, converted from dialog units with the font's
// metrics. Controls are found by their template IDs; each also carries its ID as object name.
class CTemplateDialog : public QDialog {
    Q_OBJECT
public:
    explicit CTemplateDialog(int templateId, QWidget* parent = nullptr);

    const DialogTemplate& Template() const { return *m_template; }
    const CDialogUnits& Units() const { return m_units; }

    // The control with a template ID, or null.
    QWidget* Control(int id) const { return m_controls.value(id, nullptr); }
    QLabel* Label(int id) const;
    QPushButton* Button(int id) const;
    QListWidget* ListBox(int id) const;
    QTreeWidget* ListView(int id) const;
    QComboBox* ComboBox(int id) const;

private:
    QWidget* CreateControl(const ControlTemplate& control);

    const DialogTemplate* m_template;
    CDialogUnits m_units;
    QMap<int, QWidget*> m_controls;
};
