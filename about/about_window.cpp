#include "about/about_window.h"

#include <QLabel>
#include <QPlainTextEdit>

#include "resources/artwork.h"
#include "ui/window_placement.h"

namespace kjf {

namespace {

// The texts of this window.
const auto kTitle = u"勘鉴坊";
const auto kPictureCaption = u"关于";
const char16_t* const kHelpLines[] = {
    u"    一、开发背景",
    u"    本软件主要功能是文字材料完成之后，辅助人工进行错情校对。",
    u"    二、软件特点",
    u"    1、内置互联网百万开源词库。",
    u"    2、用户可自定义词库（可将日常对的、错的词加入软件中，提高校对正确率）。",
    u"    三、使用方式",
    u"    1.将word中的文字复制到本软件中。",
    u"    2.点击校对按钮开始校对。",
    u"    3.右侧错误列表同步显示错误情况。",
    u"    4.校对完毕后，红色表示错误，粉红色标示疑似错误。",
    u"    5.点击右侧的错误列表中的记录，可跳转到相应的位置。",
    u"    "
    u"6.对确保正确，但标记出来的词，可选中该词，点击鼠标右键加入自动词库（重启软件加入的词生效）"
    u"。",
    u"    7.可导出错情。",
    u"    四、设置",
    u"    "
    u"1.基本设置。建议：引擎选择第一个，自动量化启用。如果不启用，后面的量化数值可设置2－10中的任何"
    u"一个数字，数字越大匹配成功率越高。最后点击设置进行保存。",
    u"    "
    u"2."
    u"词库设置。词库区分系统和用户词库，又区分正确和错误词库。使用者可以对用户词库进行新建、编辑、"
    u"优化（删除相同的词语）。",
    u"    3.自动词库。即使用方式6中用户加入的正确词语，阁下可以加入用户正确词库中。",
    u"    五、注意事项",
    u"    本工具仅是辅助软件，不能确保100%的正确率，仍然以人工校对为主。",
    u"    六、联系",
    u"    "
    u"用手机扫描左侧二维码，可反馈问题和提供好的建议。如果阁下能够提供日常错误或正确词库，增强工具"
    u"能力"
    u"，感激不尽！！！",
};
constexpr int kTitlePointSize = 16;

}  // namespace

QString rg_GuanYuChuangKou::helpText() {
    QStringList lines;
    for (const char16_t* line : kHelpLines) {
        lines << QString::fromUtf16(line);
    }
    return lines.join(QStringLiteral("\r\n"));
}

QString rg_GuanYuChuangKou::feedbackAddress() {
    return QStringLiteral(KJF_FEEDBACK_URL);
}

void rg_GuanYuChuangKou::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    keepOnScreen(*this);
}

rg_GuanYuChuangKou::rg_GuanYuChuangKou(QWidget* parent) : QDialog(parent) {
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(422, 198);
    // Without a title of its own the title bar would show the executable's name.
    setWindowTitle(QString::fromUtf16(kTitle));

    m_picture = new QLabel(this);
    m_picture->setObjectName(QStringLiteral("pictureLabel"));
    m_picture->setGeometry(17, 68, 102, 102);
    m_picture->setToolTip(QString::fromUtf16(kPictureCaption));
    m_picture->setAccessibleName(QString::fromUtf16(kPictureCaption));
    m_picture->setScaledContents(true);
    // Drawn at the label's size in device pixels, so that no module is blurred by scaling.
    m_picture->setPixmap(aboutPicture(feedbackAddress(), m_picture->width(), devicePixelRatioF()));

    m_title = new QLabel(QString::fromUtf16(kTitle), this);
    m_title->setObjectName(QStringLiteral("titleLabel"));
    m_title->setGeometry(74, 10, 262, 45);
    QFont face = m_title->font();
    face.setPointSize(kTitlePointSize);
    face.setBold(false);
    m_title->setFont(face);
    m_title->setAlignment(Qt::AlignCenter);

    m_help = new QPlainTextEdit(this);
    m_help->setObjectName(QStringLiteral("helpBox"));
    m_help->setGeometry(132, 68, 262, 102);
    m_help->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_help->setFrameStyle(QFrame::StyledPanel | QFrame::Plain);
    m_help->setPlainText(helpText());
}

}  // namespace kjf
