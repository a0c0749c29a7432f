#include "dictionaries/settings_window.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QProgressBar>
#include <QTreeWidget>

#include "dictionaries/automatic_dictionary_page.h"
#include "dictionaries/basic_settings_page.h"
#include "dictionaries/dictionary_list_page.h"
#include "ui/qt_text.h"
#include "ui/window_placement.h"

namespace kjf {

namespace {

// The texts of this window.
const auto kTitle = u"系统设置";

struct TreeEntry {
    const char16_t* text;
    int level;
    const char16_t* pageTitle;  // the list page's title for the four listed kinds
    DictionaryKind pageKind;    // for the four listed kinds
};

const TreeEntry kTree[rg_SheZhiChuangKou1::ItemCount] = {
    {u"设置", 1, nullptr, DictionaryKind::Automatic},
    {u"基本设置", 2, nullptr, DictionaryKind::Automatic},
    {u"系统词库", 2, nullptr, DictionaryKind::Automatic},
    {u"正确词库", 3, u"系统正确词库", DictionaryKind::SystemCorrect},
    {u"错误词库", 3, u"系统错误词库", DictionaryKind::SystemError},
    {u"用户词库", 2, nullptr, DictionaryKind::Automatic},
    {u"正确词库", 3, u"用户正确词库", DictionaryKind::UserCorrect},
    {u"错误词库", 3, u"用户错误词库", DictionaryKind::UserError},
    {u"自动词库", 2, nullptr, DictionaryKind::Automatic},
};

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr int kTreeColumn = 150;
constexpr int kIndexRole = Qt::UserRole;

}  // namespace

rg_SheZhiChuangKou1::rg_SheZhiChuangKou1(StatusText& status, QWidget* parent)
    : QDialog(parent), m_status(status) {
    setWindowTitle(text(kTitle));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);

    m_building = true;
    m_tree = new QTreeWidget(this);
    m_tree->setObjectName(QStringLiteral("navigationTree"));
    m_tree->setGeometry(4, 4, 120, 422);
    m_tree->setHeaderHidden(true);
    m_tree->setColumnCount(1);
    m_tree->setRootIsDecorated(false);
    // The selected item stays marked while the focus is on a page.
    QPalette palette = m_tree->palette();
    palette.setColor(QPalette::Inactive, QPalette::Highlight,
                     palette.color(QPalette::Active, QPalette::Highlight));
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     palette.color(QPalette::Active, QPalette::HighlightedText));
    m_tree->setPalette(palette);
    QTreeWidgetItem* parents[4] = {};
    for (int index = 0; index < ItemCount; ++index) {
        const TreeEntry& entry = kTree[index];
        QTreeWidgetItem* item = entry.level == 1 ? new QTreeWidgetItem(m_tree)
                                                 : new QTreeWidgetItem(parents[entry.level - 1]);
        item->setText(0, text(entry.text));
        item->setData(0, kIndexRole, index);
        parents[entry.level] = item;
    }
    m_tree->expandAll();
    connect(m_tree, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (item != nullptr && !m_building) {
            selectItem(item->data(0, kIndexRole).toInt());
        }
    });

    m_host = new QWidget(this);
    m_host->setObjectName(QStringLiteral("pageHost"));
    m_host->setGeometry(134, 30, 485, 269);

    m_listPage = new rg_CiKuSheZhi(m_status, m_host);
    m_listPage->setObjectName(QStringLiteral("dictionaryListPage"));
    m_listPage->hide();
    connect(m_listPage, &rg_CiKuSheZhi::dictionariesChanged, this,
            [this] { m_dictionariesChanged = true; });
    m_building = false;

    setFixedSize(kWidth, kHeight);
}

rg_SheZhiChuangKou1::~rg_SheZhiChuangKou1() = default;

void rg_SheZhiChuangKou1::setLocations(Locations locations) {
    m_locations = std::move(locations);
    m_listPage->setLocations(m_locations);
}

void rg_SheZhiChuangKou1::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    centreOnScreen(*this);
    m_dictionariesChanged = false;
    // Every opening starts on the basic settings, read afresh from setup.ini.
    m_building = true;
    m_tree->setCurrentItem(m_tree->topLevelItem(0)->child(0));
    m_building = false;
    selectItem(BasicItem);
}

void rg_SheZhiChuangKou1::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    const QRect client = rect();
    m_tree->setGeometry(client.left(), client.top(), kTreeColumn - client.left(), client.height());
    m_host->setGeometry(kTreeColumn, client.top(), client.width() - kTreeColumn, client.height());
    if (m_current != nullptr) {
        m_current->setGeometry(0, 0, m_host->width(), m_host->height());
    }
}

void rg_SheZhiChuangKou1::selectItem(int index) {
    if (index < 0 || index >= ItemCount || index == RootItem || index == SystemGroupItem ||
        index == UserGroupItem) {
        return;
    }
    if (QTreeWidgetItem* item = m_tree->currentItem();
        item == nullptr || item->data(0, kIndexRole).toInt() != index) {
        m_building = true;
        const auto matches =
            m_tree->findItems(QStringLiteral("*"), Qt::MatchWildcard | Qt::MatchRecursive);
        for (QTreeWidgetItem* candidate : matches) {
            if (candidate->data(0, kIndexRole).toInt() == index) {
                m_tree->setCurrentItem(candidate);
            }
        }
        m_building = false;
    }
    removePage();
    showPage(index);
}

void rg_SheZhiChuangKou1::removePage() {
    if (m_current == m_listPage) {
        m_listPage->hide();
    } else {
        delete m_current;
    }
    m_current = nullptr;
}

void rg_SheZhiChuangKou1::showPage(int index) {
    const TreeEntry& entry = kTree[index];
    if (index == BasicItem) {
        m_current = new rg_JiBenSheZhi(m_locations.settingsDirectory, m_host);
        m_current->setObjectName(QStringLiteral("basicSettingsPage"));
    } else if (index == AutomaticItem) {
        auto* page =
            new rg_ZiDongCiKuZuJian(m_locations.automaticDictionaryPath(), m_status, m_host);
        page->setObjectName(QStringLiteral("automaticDictionaryPage"));
        connect(page, &rg_ZiDongCiKuZuJian::saved, this, [this] { m_dictionariesChanged = true; });
        m_current = page;
    } else {
        // A freshly shown list page, as if built anew; a run still going on keeps its progress.
        m_listPage->checkAllBox()->setChecked(false);
        if (!m_listPage->optimiseInProgress()) {
            m_listPage->progressBar()->setValue(0);
        }
        m_listPage->setTitle(text(entry.pageTitle));
        m_listPage->setPageKind(entry.pageKind);
        m_listPage->refreshList();
        m_current = m_listPage;
    }
    m_current->setGeometry(0, 0, m_host->width(), m_host->height());
    m_current->show();
}

void rg_SheZhiChuangKou1::done(int result) {
    // The reload must see the optimised file, and the result belongs to this window.
    m_listPage->finishOptimise();
    removePage();
    if (m_dictionariesChanged && m_reload) {
        m_reload();
    }
    m_dictionariesChanged = false;
    QDialog::done(result);
}

}  // namespace kjf
