// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <QDialog>
#include <QIcon>
#include <QTimer>

#include "app/common/bench_window_presenter.h"
#include "app/window/data_check_dlg.h"

class CPrompter;
class CResourceLibrary;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

// The bench window: one row per listed port (check box, port and device, state, progress bar,
// rate, time left, done and failed counts, the last result with its reason in full as the
// tooltip), Start, Stop, the Station check box, the report file and the totals. What it shows
// and allows is decided by its BenchWindowPresenter; this class draws with Qt and forwards the
// user's actions and the presenter's timer.
class CBenchDlg : public QDialog, private BenchWindowView {
    Q_OBJECT
public:
    // The window's result when the package check failed.
    static constexpr int RESULT_CHECK_FAILED = 3;
    // The table's columns.
    enum Column { kPort, kDevice, kState, kProgress, kRate, kTimeLeft, kEsn, kDone, kFailed, kResult, kColumns };

    using Options = BenchWindowOptions;

    CBenchDlg(const CResourceLibrary& library, CPrompter& prompter, Options options = {}, QWidget* parent = nullptr);
    ~CBenchDlg() override;

    // Opening: the package check behind the data checking dialog, then the window filled and its
    // timer started. False when the check failed (the user has been told).
    bool OnInitDialog();
    // Opening and the modal loop. RESULT_CHECK_FAILED after a failed check.
    int RunModal();
    // Closing asks first while anything runs, and stops it before the window ends.
    void done(int result) override;

    QTableWidget* Table() const { return m_table; }
    QPushButton* StartButton() const { return m_start; }
    QPushButton* StopButton() const { return m_stop; }
    QCheckBox* StationBox() const { return m_station; }
    QLineEdit* ReportEdit() const { return m_report; }
    QLabel* TotalsLabel() const { return m_totals; }
    bool Running() const { return m_presenter.Running(); }

private:
    int RunDataCheck();
    void ChooseReportFile();

    // BenchWindowView: drawing with Qt.
    void SetCaptions(const Captions& captions) override;
    void SetPorts(const std::vector<PortItem>& ports) override;
    void UpdateRow(size_t row, const Row& content) override;
    void UpdateTile(size_t, const Tile&) override {}
    void Play(Sound) override {}
    void SetSilent(bool) override {}
    void SetTimes(unsigned, unsigned) override {}
    void SetTotals(const std::string& text) override;
    void ShowNow() override;
    void SetStation(bool on) override;
    void SetReportPath(const std::string& path) override;
    void EnableControls(const ControlStates& states) override;
    bool AskYesNo(const std::string& text) override;
    void Inform(const std::string& text) override;

    CPrompter& m_prompter;
    QIcon m_icon;
    QTableWidget* m_table;
    QPushButton* m_start;
    QPushButton* m_stop;
    QCheckBox* m_station;
    QLabel* m_reportLabel;
    QLineEdit* m_report;
    QString m_reportShown;  // the report file as the presenter last set it
    QPushButton* m_browse;
    QLabel* m_totals;
    QTimer m_timer;
    bool m_filling = false;  // the rows are being listed: their check boxes are not the user's

    CDataCheckDlg m_dataCheckDlg;
    BenchWindowPresenter m_presenter;
};
