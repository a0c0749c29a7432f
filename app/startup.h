// The startup object: owns the engine and the windows, binds the engine's hooks, loads the
// dictionaries behind the welcome window and runs the proofreading runs.
#pragma once

#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>
#include <string>

#include "engine/checking_engine.h"
#include "settings/locations.h"
#include "ui/status_text.h"

namespace kjf {

class ProofreadingRun;
class rg_HuanYingChuangKou;
class rg_JinDuChuangKou;
class rg_WoDeZhuChuangKou;
enum class Command;

// The document named on the program's command line (the desktop entry's %f): the first argument
// after the program's name that is not an option, or the one after "--"; empty when there is
// none. Qt takes out the options it understands before this sees the arguments.
QString documentArgument(const QStringList& arguments);

// The startup object: everything that lives as long as the program. One instance at a time,
// created and used on the GUI thread; its hook handlers run on whichever thread the engine calls
// them from and hand all window work to the GUI thread.
class rg_QiDongLei : public QObject {
    Q_OBJECT
  public:
    // locations: where setup.ini and the dictionaries are, decided at start-up.
    explicit rg_QiDongLei(Locations locations);
    // Portable: programDirectory ends in '/' and holds setup.ini and data/.
    explicit rg_QiDongLei(const std::string& programDirectory);
    // Stops a run still going on in the background and the loaders before anything is freed.
    ~rg_QiDongLei() override;
    rg_QiDongLei(const rg_QiDongLei&) = delete;
    rg_QiDongLei& operator=(const rg_QiDongLei&) = delete;

    // The whole start-up: beginLoading, showWelcome (modal, until loading has finished),
    // showMainWindow, then imports document (when not empty) as the command "导入" would.
    void startApplication(const QString& document = {});
    void beginLoading();
    void showWelcome();
    void showMainWindow();
    // Shows text in the status bar and in a message over the main window (at once, or as soon as
    // it shows). GUI thread.
    void warn(const QString& text);

    // The tool-bar command "校对" (see ProofreadingRun::start); first ends an auto-learning
    // analysis, which reads the last run.
    void runProofreading();
    // The tool-bar command "清除标记".
    void clearMarksCommand();
    // Whether a worker of an earlier run is still working.
    bool runInProgress() const;
    // Stops the worker of the last run (if any) and waits for it.
    void stopRun();

    rg_ChaCuoYinQing& engine() { return *m_engine; }
    StatusText& statusText() { return m_status; }
    rg_WoDeZhuChuangKou* mainWindow() const { return m_mainWindow.get(); }
    rg_JinDuChuangKou* progressWindow() const { return m_progressWindow.get(); }
    rg_HuanYingChuangKou* welcomeWindow() const { return m_welcomeWindow.get(); }
    const Locations& locations() const { return m_locations; }

    // The proofreading run, for tests.
    ProofreadingRun& proofreadingRun() { return *m_proofreading; }

  private:
    void bindHooks();
    void handleCommand(Command command);
    void exitCommand();
    // The tool-bar commands "词库设置" and "关于": modal, return when the window closes.
    void openSettingsWindow();
    void openAboutWindow();

    // Hook handlers (the engine's thread; see checking_engine.h). A run's hooks go to the run.
    void fillEnabledLists(rg_ChaCuoYinQing& engine, rg_ChaCuoYinQing::Lists& systemCorrect,
                          rg_ChaCuoYinQing::Lists& systemError,
                          rg_ChaCuoYinQing::Lists& userCorrect, rg_ChaCuoYinQing::Lists& userError);
    void showLoadingFile(rg_ChaCuoYinQing& engine, std::u16string_view path);
    void finishLoading(rg_ChaCuoYinQing& engine);
    void showPendingWarnings();
    // The run that the engine's run hooks go to, or nullptr for an engine that is not ours.
    ProofreadingRun* runOf(const rg_ChaCuoYinQing& engine) const;

    const Locations m_locations;
    StatusText m_status;
    // Members in the order of the object tree: main window, progress window, engine, welcome.
    std::unique_ptr<rg_WoDeZhuChuangKou> m_mainWindow;
    std::unique_ptr<rg_JinDuChuangKou> m_progressWindow;
    std::unique_ptr<rg_ChaCuoYinQing> m_engine;
    std::unique_ptr<rg_HuanYingChuangKou> m_welcomeWindow;
    int m_welcomeResult = 0;
    QStringList m_pendingWarnings;

    // The runs, after the windows and the engine they use.
    std::unique_ptr<ProofreadingRun> m_proofreading;
};

}  // namespace kjf
