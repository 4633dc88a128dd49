// SPDX-License-Identifier: Apache-2.0
// The dialogs as their templates describe them, and the three secondary dialogs' behaviour:
// the language dialog's choices, the data checking dialog that only its check can end, and
// the About box's texts from the language library. Saves a screenshot of each in each language.
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <functional>

#include "app/common/language_choice.h"
#include "app/common/resource_ids.h"
#include "app/window/about_dlg.h"
#include "app/window/data_check_dlg.h"
#include "app/window/dialog_units.h"
#include "app/window/language_dlg.h"
#include "app/window/vexlor_dlg.h"
#include "gui_support.h"
#include "lang/string_ids.h"
#include "platform/window_messages.h"

class DialogsTest : public QObject {
    Q_OBJECT
private slots:
    void dialogUnitsFollowTheFontMetrics();
    void everyTemplateControlIsPlacedInPixelsOfItsFont();
    void languageDialogEndsWithTheChoiceOrWithCancel();
    void dataCheckDialogShowsTheLastPercentageAndIgnoresEnterAndEscape();
    void aboutDialogTakesCaptionAndTextFromTheLibrary();
    void screenshotsOfEveryDialogInEveryLanguage();
};

void DialogsTest::dialogUnitsFollowTheFontMetrics() {
    QFont font = QApplication::font();
    font.setPointSize(10);
    const CDialogUnits units(font);
    const QFontMetrics metrics(font);
    QVERIFY(units.BaseX() > 0);
    QCOMPARE(units.BaseY(), metrics.height());
    // Four horizontal units make one base width, eight vertical units one line.
    QCOMPARE(units.ToPixelsX(4), units.BaseX());
    QCOMPARE(units.ToPixelsY(8), units.BaseY());
    QCOMPARE(units.ToPixelsX(400), 100 * units.BaseX());
    // A bigger font makes bigger dialogs.
    QFont bigger = font;
    bigger.setPointSize(20);
    const CDialogUnits big(bigger);
    QVERIFY(big.ToPixelsX(100) > units.ToPixelsX(100));
    QVERIFY(big.ToPixelsY(100) > units.ToPixelsY(100));
    // Rounded to the nearest pixel, halves up.
    for (int n = 0; n <= 40; ++n) {
        QCOMPARE(units.ToPixelsX(n), (n * units.BaseX() * 2 + 4) / 8);
        QCOMPARE(units.ToPixelsY(n), (n * units.BaseY() * 2 + 8) / 16);
    }
    QCOMPARE(units.ToPixels(7, 7, 351, 154),
             QRect(units.ToPixelsX(7), units.ToPixelsY(7), units.ToPixelsX(351), units.ToPixelsY(154)));
}

void DialogsTest::everyTemplateControlIsPlacedInPixelsOfItsFont() {
    auto library = LoadLanguage(LANGUAGE_ENGLISH);
    CScriptedPrompter prompter;
    CLanguageDlg language;
    CDataCheckDlg check;
    CAboutDlg about(*library);
    CVexlorDlg window(*library, prompter, {"/nonexistent/program", {}});
    for (CTemplateDialog* dialog : std::initializer_list<CTemplateDialog*>{&language, &check, &about, &window}) {
        const DialogTemplate& tmpl = dialog->Template();
        const CDialogUnits units(DialogFont(tmpl));
        QCOMPARE(dialog->size(), QSize(units.ToPixelsX(tmpl.cx), units.ToPixelsY(tmpl.cy)));
        QCOMPARE(dialog->font().pointSize(), tmpl.pointSize);
        for (const ControlTemplate& control : tmpl.controls) {
            if (control.id == IDC_STATIC) continue;
            QWidget* widget = dialog->Control(control.id);
            QVERIFY2(widget, qPrintable(QString("dialog %1 control %2").arg(tmpl.id).arg(control.id)));
            const QRect expected = units.ToPixels(control.x, control.y, control.cx, control.cy);
            QCOMPARE(widget->pos(), expected.topLeft());
            QCOMPARE(widget->width(), expected.width());
            if (control.kind != ControlKind::ComboBox) QCOMPARE(widget->height(), expected.height());
            QCOMPARE(widget->isHidden(), (control.style & CS_HIDDEN) != 0);
            QCOMPARE(widget->objectName(), QString::number(control.id));
        }
    }
    // No default button in the main window; the About button keeps its template text.
    QVERIFY(!window.Button(IDC_BTN_START)->isDefault());
    QVERIFY(about.Button(IDOK)->isDefault());
    QCOMPARE(about.Button(IDOK)->text(), QString("OK"));
    QCOMPARE(window.windowTitle(), QString("Orvo K310X Firmware Upgrade Tool"));
    // The data checking dialog has no close box; the others have one.
    QVERIFY(!(check.windowFlags() & Qt::WindowCloseButtonHint));
    QVERIFY(!(check.windowFlags() & Qt::WindowSystemMenuHint));
    QVERIFY(about.windowFlags() & Qt::WindowCloseButtonHint);
    QVERIFY(!(window.windowFlags() & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(window.windowFlags() & Qt::WindowMaximizeButtonHint));
}

void DialogsTest::languageDialogEndsWithTheChoiceOrWithCancel() {
    // Each way to end the dialog, after choosing a row: the result and the position kept.
    struct Ending {
        int row;
        std::function<void(CLanguageDlg&)> end;
        int result, position;
    };
    const std::vector<Ending> endings = {
        {0, [](CLanguageDlg& d) { QTest::keyClick(d.ListBox(IDC_LIST_LANGUAGE), Qt::Key_Return); }, IDOK, 0},
        {2, [](CLanguageDlg& d) { QTest::mouseClick(d.Button(IDOK), Qt::LeftButton); }, IDOK, 2},
        {1, [](CLanguageDlg& d) { emit d.ListBox(IDC_LIST_LANGUAGE)->itemDoubleClicked(nullptr); }, IDOK, 1},
        {1, [](CLanguageDlg& d) { QTest::mouseClick(d.Button(IDCANCEL), Qt::LeftButton); }, IDCANCEL, 0},
        {1, [](CLanguageDlg& d) { QTest::keyClick(&d, Qt::Key_Escape); }, IDCANCEL, 0},
        {1, [](CLanguageDlg& d) { d.close(); }, IDCANCEL, 0},  // the close box
    };
    for (const Ending& ending : endings) {
        CLanguageDlg dialog;
        QListWidget* list = dialog.ListBox(IDC_LIST_LANGUAGE);
        QCOMPARE(dialog.windowTitle(), QString("Language Setting"));
        QStringList names;
        for (int i = 0; i < list->count(); ++i) names << list->item(i)->text();
        QCOMPARE(names, (QStringList{"English U.S.", "繁體中文", "简体中文"}));
        QCOMPARE(list->currentRow(), 0);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        list->setCurrentRow(ending.row);
        ending.end(dialog);
        QCOMPARE(dialog.result(), ending.result);
        QCOMPARE(dialog.Position(), ending.position);
        QVERIFY(!dialog.isVisible());
    }
}

void DialogsTest::dataCheckDialogShowsTheLastPercentageAndIgnoresEnterAndEscape() {
    for (int position : {LANGUAGE_ENGLISH, LANGUAGE_TRADITIONAL_CHINESE, LANGUAGE_SIMPLIFIED_CHINESE}) {
        auto library = LoadLanguage(position);
        CDataCheckDlg dialog;
        dialog.SetProgressFormat(Text(*library, lang::IDS_CHECK_PROGRESS));
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.StatusText(), QString("Data checking start....."));
        QCOMPARE(dialog.windowTitle(), QString("Data Checking"));

        // Enter, Esc and the close box leave it open: only the check ends it.
        QTest::keyClick(&dialog, Qt::Key_Return);
        QTest::keyClick(&dialog, Qt::Key_Escape);
        dialog.close();
        QVERIFY(dialog.isVisible());

        // Percentages posted from another thread, as the check posts them.
        std::thread check([&dialog] {
            for (int percent : {0, 10, 55, 99, 100}) dialog.Target()->Post(WM_DL_PROGRESS, percent);
            dialog.Target()->Post(WM_DL_STATUS, 0x065);  // not a progress message: ignored
            dialog.EndFromAnyThread(CDataCheckDlg::RESULT_PASSED);
        });
        check.join();
        QTRY_VERIFY_WITH_TIMEOUT(!dialog.isVisible(), 5000);
        QCOMPARE(dialog.result(), CDataCheckDlg::RESULT_PASSED);
        QCOMPARE(dialog.StatusText(), TextWithNumber(*library, lang::IDS_CHECK_PROGRESS, 100));
    }
}

void DialogsTest::aboutDialogTakesCaptionAndTextFromTheLibrary() {
    for (int position : {LANGUAGE_ENGLISH, LANGUAGE_TRADITIONAL_CHINESE, LANGUAGE_SIMPLIFIED_CHINESE}) {
        auto library = LoadLanguage(position);
        CAboutDlg about(*library);
        QCOMPARE(about.windowTitle(), TextWithModel(*library, lang::IDS_ABOUT));
        QCOMPARE(about.Label(IDC_STATIC_VERSION)->text(), TextWithModel(*library, lang::IDS_TITLE));
        QVERIFY(about.windowTitle().contains("V26"));  // not the template's "About Vexlor"
        // The icon control shows the program's icon.
        auto* icon = qobject_cast<QLabel*>(about.Control(IDR_MAINFRAME));
        QVERIFY(icon && !icon->pixmap().isNull());
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        QTest::keyClick(&about, Qt::Key_Escape);
        QVERIFY(!about.isVisible());
        about.show();
        QTest::mouseClick(about.Button(IDOK), Qt::LeftButton);
        QVERIFY(!about.isVisible());
        QCOMPARE(about.result(), int(QDialog::Accepted));
    }
}

void DialogsTest::screenshotsOfEveryDialogInEveryLanguage() {
    for (int position : {LANGUAGE_ENGLISH, LANGUAGE_TRADITIONAL_CHINESE, LANGUAGE_SIMPLIFIED_CHINESE}) {
        const QString tag = LanguageTag(position);
        auto library = LoadLanguage(position);

        CLanguageDlg language;
        language.ListBox(IDC_LIST_LANGUAGE)->setCurrentRow(position);
        SaveScreenshot(language, "language-dialog-" + tag);

        CDataCheckDlg check;
        check.SetProgressFormat(Text(*library, lang::IDS_CHECK_PROGRESS));
        check.Target()->Post(WM_DL_PROGRESS, 100);
        QTRY_VERIFY_WITH_TIMEOUT(check.StatusText() != QString("Data checking start....."), 5000);
        SaveScreenshot(check, "data-check-dialog-" + tag);
        check.EndFromAnyThread(CDataCheckDlg::RESULT_PASSED);
        QTRY_VERIFY_WITH_TIMEOUT(!check.isVisible(), 5000);

        CAboutDlg about(*library);
        SaveScreenshot(about, "about-dialog-" + tag);
        about.accept();
    }
}

QTEST_MAIN(DialogsTest)
#include "dialogs_test.moc"
