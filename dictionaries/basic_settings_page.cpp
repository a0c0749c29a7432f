#include "dictionaries/basic_settings_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include "settings/settings_file.h"
#include "ui/message_box.h"
#include "ui/number_box.h"
#include "ui/qt_text.h"

namespace kjf {

namespace {

// The texts of this page.
const auto kGroupTitle = u"引擎设置";
const auto kEngineTypeLabel = u"引擎类型：";
const auto kForward = u"正向校对";
const auto kReverse = u"反项校对";
const auto kAccuracy = u"准确度提升";
const auto kAutoQuantizationBox = u"自动量化";
const auto kContextBox = u"语境校对";
const auto kContextTip = u"用语言模型判断上下文：找出用错的词，去掉上下文不支持的错误标记";
const auto kValueLabel = u"数值：(2-10)";
const auto kSave = u"设置";
const auto kSaved = u"保存成功！";
const auto kSaveFailed = u"保存失败！";
const auto kCaption = u"提示";

// The stored texts.
const auto kOn = u"1";
const auto kOff = u"0";
const auto kReverseType = u"2";

constexpr int kMinimumQuantization = 2;
constexpr int kMaximumQuantization = 10;

std::u16string read(const std::string& directory, std::u16string_view key,
                    std::u16string_view fallback) {
    return readSetting(directory, setting::kEngineSection, key, fallback);
}

}  // namespace

rg_JiBenSheZhi::rg_JiBenSheZhi(std::string settingsDirectory, QWidget* parent)
    : QWidget(parent), m_settingsDirectory(std::move(settingsDirectory)) {
    m_group = new QGroupBox(text(kGroupTitle), this);
    m_group->setObjectName(QStringLiteral("engineGroup"));
    m_group->setGeometry(6, 13, 354, 123);

    auto* typeLabel = new QLabel(text(kEngineTypeLabel), m_group);
    typeLabel->setGeometry(13, 19, 70, 19);
    m_engineType = new QComboBox(m_group);
    m_engineType->setObjectName(QStringLiteral("engineTypeBox"));
    m_engineType->setGeometry(90, 19, 72, 19);
    m_engineType->addItem(text(kForward), 1);
    m_engineType->addItem(text(kReverse), 2);
    m_engineType->setCurrentIndex(0);

    m_accuracy = new QCheckBox(text(kAccuracy), m_group);
    m_accuracy->setObjectName(QStringLiteral("accuracyBox"));
    m_accuracy->setGeometry(218, 19, 96, 24);

    m_autoQuantization = new QCheckBox(text(kAutoQuantizationBox), m_group);
    m_autoQuantization->setObjectName(QStringLiteral("autoQuantizationBox"));
    m_autoQuantization->setGeometry(13, 64, 90, 19);
    connect(m_autoQuantization, &QCheckBox::clicked, this,
            [this](bool checked) { m_value->setEnabled(!checked); });

    auto* valueLabel = new QLabel(text(kValueLabel), m_group);
    valueLabel->setGeometry(115, 64, 90, 19);
    m_value = new NumberBox(kMinimumQuantization, kMaximumQuantization, m_group);
    m_value->setObjectName(QStringLiteral("quantizationBox"));
    m_value->setGeometry(218, 64, 31, 22);

    m_context = new QCheckBox(text(kContextBox), m_group);
    m_context->setObjectName(QStringLiteral("contextBox"));
    m_context->setGeometry(13, 94, 90, 19);
    m_context->setToolTip(text(kContextTip));

    m_save = new QPushButton(text(kSave), m_group);
    m_save->setObjectName(QStringLiteral("saveButton"));
    m_save->setGeometry(275, 65, 42, 22);
    connect(m_save, &QPushButton::clicked, this, &rg_JiBenSheZhi::save);

    resize(423, 259);
    load();
}

void rg_JiBenSheZhi::load() {
    using namespace setting;
    const bool automatic = read(m_settingsDirectory, kAutoQuantization, kOn) == kOn;
    m_autoQuantization->setChecked(automatic);
    m_value->setEnabled(!automatic);
    m_value->setText(QString::fromStdU16String(read(m_settingsDirectory, kQuantization, u"10")));
    if (read(m_settingsDirectory, kEngineType, u"1") == kReverseType) {
        m_engineType->setCurrentIndex(1);
    }
    m_accuracy->setChecked(read(m_settingsDirectory, kAccuracyBoost, kOn) == kOn);
    m_contextStored = read(m_settingsDirectory, kContextCheck, u"") == kOn;
    m_context->setChecked(m_contextStored);
}

void rg_JiBenSheZhi::save() {
    using namespace setting;
    // Every write is tried, but success is only reported when all four reached the file.
    WriteResult outcome;  // the first write that failed, if any
    const auto write = [this, &outcome](std::u16string_view key, const QString& value) {
        WriteResult written =
            writeSetting(m_settingsDirectory, kEngineSection, key, value.toStdU16String());
        if (!written && outcome) {
            outcome = std::move(written);
        }
    };
    write(kEngineType, QString::number(m_engineType->currentData().toInt()));
    write(kAutoQuantization, text(m_autoQuantization->isChecked() ? kOn : kOff));
    write(kQuantization, m_value->text());
    write(kAccuracyBoost, text(m_accuracy->isChecked() ? kOn : kOff));
    // Written only when changed: a setup.ini that never had the key keeps its old behaviour.
    if (m_context->isChecked() != m_contextStored) {
        write(kContextCheck, text(m_context->isChecked() ? kOn : kOff));
        m_contextStored = m_context->isChecked();
    }
    if (outcome) {
        showMessage(this, QMessageBox::Information, text(kCaption), text(kSaved));
    } else {
        showMessage(this, QMessageBox::Critical, text(kCaption),
                    withReason(text(kSaveFailed), outcome.reason()));
    }
}

}  // namespace kjf
