// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <QDialog>
#include <QIcon>
#include <QTimer>
#include <memory>

#include "app/common/bench_window_presenter.h"
#include "app/window/data_check_dlg.h"

class CBenchTileGrid;
class CPrompter;
class CResourceLibrary;
class QCheckBox;
class QSoundEffect;
class QStackedWidget;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

// The bench window: a tile per listed port, large enough to read from the bench (the table of
// every column as a second view: check box, port, handset, device, state, progress bar, rate,
// time left, ESN, counts, the last result with its reason in full as the tooltip), the chosen
// port's details, Start, Stop, "check all", the Station and silence boxes, the two station
// times, the report file and the station line in large type; a sound when a handset is done or
// failed; Space starts or stops, F5 reads the ports again. What it shows and allows is decided
// by its BenchWindowPresenter; this class draws with Qt and forwards the user's actions and the
// presenter's timer.
class CBenchDlg : public QDialog, private BenchWindowView {
    Q_OBJECT
public:
    // The window's result when the package check failed.
    static constexpr int RESULT_CHECK_FAILED = 3;
    // The table's columns.
    enum Column {
        kPort,
        kHandset,
        kDevice,
        kState,
        kProgress,
        kRate,
        kTimeLeft,
        kEsn,
        kDone,
        kFailed,
        kResult,
        kColumns
    };
    // The sound files inside the program.
    static constexpr const char* kDoneSound = ":/vexlor/sounds/done.wav";
    static constexpr const char* kFailedSound = ":/vexlor/sounds/failed.wav";

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
    CBenchTileGrid* Tiles() const { return m_tiles; }
    QCheckBox* TableBox() const { return m_tableView; }
    QCheckBox* SilentBox() const { return m_silent; }
    QPushButton* CheckAllButton() const { return m_checkAll; }
    QLineEdit* ConfirmEdit() const { return m_confirm; }
    QLineEdit* RemovalEdit() const { return m_removal; }
    QLabel* DetailsLabel() const { return m_details; }
    // The sounds asked for so far (played unless the sound device is missing).
    const std::vector<Sound>& Played() const { return m_played; }
    bool Running() const { return m_presenter.Running(); }

private:
    int RunDataCheck();
    void ChooseReportFile();
    void ShowDetails();

    // BenchWindowView: drawing with Qt.
    void SetCaptions(const Captions& captions) override;
    void SetPorts(const std::vector<PortItem>& ports) override;
    void UpdateRow(size_t row, const Row& content) override;
    void UpdateTile(size_t row, const Tile& tile) override;
    void Play(Sound sound) override;
    void SetSilent(bool on) override;
    void SetTimes(unsigned confirmSeconds, unsigned removalSeconds) override;
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
    CBenchTileGrid* m_tiles;
    QStackedWidget* m_views;
    QCheckBox* m_tableView;
    QLabel* m_details;
    QPushButton* m_checkAll;
    QCheckBox* m_silent;
    QLabel* m_confirmLabel;
    QLineEdit* m_confirm;
    QLabel* m_removalLabel;
    QLineEdit* m_removal;
    QSoundEffect* m_doneSound = nullptr;
    QSoundEffect* m_failedSound = nullptr;
    std::vector<Sound> m_played;
    std::vector<Row> m_rows;  // what each row shows, for the details pane
    QString m_detailsHeading;
    QTimer m_timer;
    bool m_filling = false;  // the rows are being listed: their check boxes are not the user's

    CDataCheckDlg m_dataCheckDlg;
    BenchWindowPresenter m_presenter;
};
