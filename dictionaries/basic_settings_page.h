// The basic-settings page: the four engine options of section "引擎设置" of setup.ini.
#pragma once

#include <QWidget>
#include <string>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QPushButton;

namespace kjf {

class NumberBox;

// The basic-settings page: shows the engine options when it is created and writes them with
// "设置". It keeps nothing of its own; setup.ini is the only store. Its parts are named
// "engineGroup", "engineTypeBox", "accuracyBox", "autoQuantizationBox", "quantizationBox",
// "contextBox" and "saveButton". GUI thread only.
class rg_JiBenSheZhi : public QWidget {
    Q_OBJECT
  public:
    // settingsDirectory holds setup.ini and ends in '/'. Loads the options at once.
    explicit rg_JiBenSheZhi(std::string settingsDirectory, QWidget* parent = nullptr);

    // "设置": writes 引擎类型, 自动量化, 量化数值 and 准确度提升 in this order, then 语境校对 when
    // its box was changed, and says "保存成功！".
    void save();

  private:
    void load();

    const std::string m_settingsDirectory;
    QGroupBox* m_group = nullptr;
    QComboBox* m_engineType = nullptr;
    QCheckBox* m_accuracy = nullptr;
    QCheckBox* m_autoQuantization = nullptr;
    QCheckBox* m_context = nullptr;
    bool m_contextStored = false;  // what setup.ini holds for "语境校对"
    NumberBox* m_value = nullptr;
    QPushButton* m_save = nullptr;
};

}  // namespace kjf
