// SPDX-License-Identifier: Apache-2.0
#include "app/window/template_dialog.h"

#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTreeWidget>
#include <algorithm>

#include "app/common/resource_ids.h"
#include "app/window/port_combo_box.h"
#include "app/window/program_icon.h"

namespace {

const DialogTemplate& TemplateOrDie(int templateId) {
    const DialogTemplate* found = FindDialogTemplate(templateId);
    if (!found) qFatal("CTemplateDialog: no dialog template %d", templateId);
    return *found;
}

Qt::WindowFlags FlagsFor(unsigned style) {
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint;
    if (style & DS_CAPTION) flags |= Qt::WindowTitleHint;
    if (style & DS_SYSMENU) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    return flags;
}

}  // namespace

CTemplateDialog::CTemplateDialog(int templateId, QWidget* parent)
    : QDialog(parent, FlagsFor(TemplateOrDie(templateId).style)),
      m_template(&TemplateOrDie(templateId)),
      m_units(DialogFont(*m_template)) {
    setObjectName(QString::number(m_template->id));
    setFont(DialogFont(*m_template));
    setWindowTitle(QString::fromUtf8(m_template->caption));
    setFixedSize(m_units.ToPixelsX(m_template->cx), m_units.ToPixelsY(m_template->cy));
    for (const ControlTemplate& control : m_template->controls) {
        QWidget* widget = CreateControl(control);
        widget->setObjectName(QString::number(control.id));
        widget->setGeometry(m_units.ToPixels(control.x, control.y, control.cx, control.cy));
        widget->setFocusPolicy((control.style & CS_TABSTOP) ? Qt::StrongFocus : Qt::NoFocus);
        if (control.kind == ControlKind::ComboBox) widget->resize(widget->width(), widget->sizeHint().height());
        if (control.style & CS_HIDDEN) widget->hide();
        if (control.id != IDC_STATIC) m_controls.insert(control.id, widget);
    }
}

QWidget* CTemplateDialog::CreateControl(const ControlTemplate& control) {
    const QString text = QString::fromUtf8(control.text);
    switch (control.kind) {
    case ControlKind::Static: {
        auto* label = new QLabel(text, this);
        label->setTextFormat(Qt::PlainText);
        label->setAlignment((control.style & CS_CENTER) ? Qt::AlignHCenter | Qt::AlignTop
                                                        : Qt::AlignLeft | Qt::AlignTop);
        return label;
    }
    case ControlKind::Icon: {
        auto* label = new QLabel(this);
        const QRect rect = m_units.ToPixels(control.x, control.y, control.cx, control.cy);
        label->setPixmap(ProgramIcon().pixmap(std::min(rect.width(), rect.height())));
        return label;
    }
    case ControlKind::PushButton: {
        auto* button = new QPushButton(text, this);
        // The default button answers Enter; the other buttons only when they have the focus.
        button->setDefault(control.style & CS_DEFPUSHBUTTON);
        return button;
    }
    case ControlKind::ListBox: {
        auto* list = new QListWidget(this);
        list->setSortingEnabled(control.style & CS_SORT);
        list->setFrameShape((control.style & CS_BORDER) ? QFrame::StyledPanel : QFrame::NoFrame);
        list->setVerticalScrollBarPolicy((control.style & CS_VSCROLL) ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
        return list;
    }
    case ControlKind::ListView: {
        auto* view = new QTreeWidget(this);
        view->setRootIsDecorated(false);
        view->setUniformRowHeights(true);
        view->setColumnCount(0);
        view->setHeaderHidden(control.style & CS_NOCOLUMNHEADER);
        view->header()->setStretchLastSection(false);
        view->setSelectionMode((control.style & CS_SINGLESEL) ? QAbstractItemView::SingleSelection
                                                              : QAbstractItemView::ExtendedSelection);
        view->setFrameShape((control.style & CS_BORDER) ? QFrame::StyledPanel : QFrame::NoFrame);
        return view;
    }
    case ControlKind::ComboBox: {
        auto* combo = new CPortComboBox(this);
        combo->setEditable(!(control.style & CS_DROPDOWNLIST));
        // The template's height is that of the open list; the closed box keeps its own height.
        const int listHeight = m_units.ToPixelsY(control.cy);
        const int itemHeight = std::max(1, combo->fontMetrics().height() + 2);
        combo->setMaxVisibleItems(std::max(1, listHeight / itemHeight));
        return combo;
    }
    }
    return new QWidget(this);
}

QLabel* CTemplateDialog::Label(int id) const { return qobject_cast<QLabel*>(Control(id)); }
QPushButton* CTemplateDialog::Button(int id) const { return qobject_cast<QPushButton*>(Control(id)); }
QListWidget* CTemplateDialog::ListBox(int id) const { return qobject_cast<QListWidget*>(Control(id)); }
QTreeWidget* CTemplateDialog::ListView(int id) const { return qobject_cast<QTreeWidget*>(Control(id)); }
QComboBox* CTemplateDialog::ComboBox(int id) const { return qobject_cast<QComboBox*>(Control(id)); }
