// The settings window: a navigation tree on the left, the selected page on the right.
#pragma once

#include <QDialog>
#include <functional>
#include <string>

#include "settings/locations.h"

class QTreeWidget;

namespace kjf {

class StatusText;
class rg_CiKuSheZhi;

// The settings window "系统设置": one instance owned by the main window and shown modally at every
// opening. The basic-settings and automatic-dictionary pages are built afresh at every selection
// (so they reload their data); the one dictionary list page serves the four listed kinds and is
// refilled at every selection. When a listed dictionary, the automatic dictionary or an enabled
// list changed while it was open, closing asks for exactly one dictionary reload. The tree is
// "navigationTree", the pages sit in "pageHost" and are named "basicSettingsPage",
// "dictionaryListPage" and "automaticDictionaryPage". GUI thread only.
class rg_SheZhiChuangKou1 : public QDialog {
    Q_OBJECT
  public:
    // The tree items in display order.
    enum Item {
        RootItem,
        BasicItem,
        SystemGroupItem,
        SystemCorrectItem,
        SystemErrorItem,
        UserGroupItem,
        UserCorrectItem,
        UserErrorItem,
        AutomaticItem,
        ItemCount
    };

    // The pages report what they did through status, which outlives the window.
    explicit rg_SheZhiChuangKou1(StatusText& status, QWidget* parent = nullptr);
    ~rg_SheZhiChuangKou1() override;

    // Where setup.ini and the dictionaries are. Set before showing the window.
    void setLocations(Locations locations);
    // What closing calls when dictionaries changed (the engine's loadDictionaries). It must not
    // wait for anything that waits for this thread.
    void setReloadAction(std::function<void()> reload) { m_reload = std::move(reload); }

    // Shows the page of the tree item at index; the root and the two group items keep the page
    // shown so far.
    void selectItem(int index);

    bool dictionariesChanged() const { return m_dictionariesChanged; }

    // Closing: waits for an optimise run, then asks for the reload if anything changed.
    void done(int result) override;

  protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void showPage(int index);
    void removePage();

    StatusText& m_status;
    Locations m_locations;
    std::function<void()> m_reload;
    bool m_dictionariesChanged = false;
    QTreeWidget* m_tree = nullptr;
    QWidget* m_host = nullptr;
    rg_CiKuSheZhi* m_listPage = nullptr;  // exists for the window's life
    QWidget* m_current = nullptr;         // the page shown now, or nullptr
    // Set while the tree is rebuilt, so that the selection changes it makes show no page.
    bool m_building = false;
};

}  // namespace kjf
