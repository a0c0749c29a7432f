// The texts, actions and keys of the main window and its commands, in one place.
#pragma once

#include <QKeySequence>
#include <iterator>

namespace kjf::main_window_texts {

// The window.
inline constexpr char16_t kTitle[] = u"勘鉴坊 v1.3 build 20220721";
// The tool-bar buttons, in the order of Command.
inline constexpr const char16_t* kCommandCaptions[] = {
    u"导入", u"校对", u"清除标记", u"导出错误", u"导出修订稿", u"词库设置", u"关于", u"退出"};
inline constexpr char16_t kGroupCaption[] = u"错误列表";
// The error list's column headers, in column order.
inline constexpr const char16_t* kListHeaders[] = {u"序号", u"错误", u"建议",
                                                   u"类型", u"位置", u"长度"};
inline constexpr char16_t kStatusLabel[] = u"提示：";
inline constexpr char16_t kWelcome[] = u"欢迎使用！";
inline constexpr char16_t kExitQuestion[] = u"确定退出?";
// The caption of the window's questions and messages.
inline constexpr char16_t kMessageCaption[] = u"提示";

// Loading the dictionaries (the status bar and the welcome window).
inline constexpr char16_t kLoadingFile[] = u"词库加载中->";
inline constexpr char16_t kLoaded[] = u"词库加载完毕！";

// "校对" and "清除标记".
inline constexpr char16_t kRunStarted[] = u"开始校对";
inline constexpr char16_t kMarksCleared[] = u"清除标记完成！";

// "导入".
// Every kind the import reads first; no .doc, which it always refuses. Text files come in many
// names, so any file may still be chosen.
inline constexpr char16_t kImportFilter[] =
    u"可导入的文件(*.txt *.docx)|*.txt *.docx|文本文件(*.txt)|*.txt|Office文件(*.docx)|*.docx|"
    u"所有文件(*)|*";
inline constexpr char16_t kImportTitle[] = u"导入";
inline constexpr char16_t kImported[] = u"导入成功！";
// Instead of it when only the start of the file could be read (%1: the characters imported).
inline constexpr char16_t kImportedPart[] =
    u"只导入了文件开头的 %1 个字符：其余部分无法解码，或文档已损坏。请检查文件后再校对。";

// "导出错误".
inline constexpr char16_t kExportFilter[] = u"错误文件(*.xlsx)|*.xlsx";
inline constexpr char16_t kExportTitle[] = u"导出错误";
inline constexpr char16_t kExportName[] = u"错误列表";
// After an import: the imported document's name without its extension, then this.
inline constexpr char16_t kExportNameAfter[] = u"%1-错误列表.xlsx";
inline constexpr char16_t kExportSuffix[] = u"xlsx";
inline constexpr char16_t kNothingToExport[] = u"请先校对后再导出！";
inline constexpr char16_t kExported[] = u"导出成功！";
inline constexpr char16_t kSaved[] = u"保存成功！";
inline constexpr char16_t kSavedCaption[] = u"信息:";
inline constexpr char16_t kNotExported[] = u"导出失败！%1";

// "导出修订稿": the work handed back as a .docx with tracked changes and comments, or as text in
// the source's encoding; text that was never imported is saved as UTF-8 text.
inline constexpr char16_t kRevisedTitle[] = u"导出修订稿";
inline constexpr char16_t kRevisedDocxFilter[] = u"Word文档(*.docx)|*.docx";
inline constexpr char16_t kRevisedDocxSuffix[] = u"docx";
inline constexpr char16_t kRevisedTextFilter[] = u"文本文件(*.txt)|*.txt|所有文件(*)|*";
inline constexpr char16_t kRevisedTextSuffix[] = u"txt";
// The file name offered for text that was never imported.
inline constexpr char16_t kRevisedUntitled[] = u"校对稿.txt";
inline constexpr char16_t kNothingToSave[] = u"没有可导出的文字，请先导入或输入文字！";
inline constexpr char16_t kRevisedSaved[] = u"修订稿已保存：\n%1";
inline constexpr char16_t kRevisedUncommented[] = u"以下问题未能加为批注：";
inline constexpr char16_t kRevisedMoreUncommented[] = u"……另有%1处";
// The comment over a finding of the context check that carries no suggestion.
inline constexpr char16_t kContextNote[] = u"语境校对：此处用词可能有误";

// The editor's context menu.
inline constexpr char16_t kMenuCaption[] = u"超级列表框菜单";
inline constexpr char16_t kAddToAuto[] = u"加入自动词库";
inline constexpr char16_t kAutoLearning[] = u"自动学习";
inline constexpr char16_t kAdded[] = u"加入成功！";
inline constexpr char16_t kNotAdded[] = u"加入失败！无法写入自动词库文件：\n%1";
inline constexpr char16_t kNothingSelected[] = u"请先选中要加入自动词库的文字！";

// The editor's context menu: the usual editing commands below the program's own, each with the
// key that the editor itself gives it (the menu shows the key).
struct EditingItem {
    const char16_t* caption;
    QKeySequence::StandardKey key;
};
inline constexpr EditingItem kUndo{u"撤销", QKeySequence::Undo};
inline constexpr EditingItem kRedo{u"重做", QKeySequence::Redo};
inline constexpr EditingItem kCut{u"剪切", QKeySequence::Cut};
inline constexpr EditingItem kCopy{u"复制", QKeySequence::Copy};
inline constexpr EditingItem kPaste{u"粘贴", QKeySequence::Paste};
inline constexpr EditingItem kSelectAll{u"全选", QKeySequence::SelectAll};

// Where an action's keys work: anywhere in the main window, or while "错误列表" has the focus.
enum class KeyScope { Window, ErrorList };

// An action with its caption, where its keys work and up to two keys (Qt::Key_unknown: none).
struct ActionItem {
    const char16_t* caption;
    KeyScope scope;
    QKeyCombination key = Qt::Key_unknown;
    QKeyCombination alternativeKey = Qt::Key_unknown;
};

// The tool bar's keys, in the order of Command (Qt::Key_unknown: none). They work anywhere in
// the main window, and each button's tip shows its key.
inline constexpr QKeyCombination kCommandKeys[] = {
    Qt::CTRL | Qt::Key_O,              // 导入
    Qt::Key_F7,                        // 校对
    Qt::CTRL | Qt::SHIFT | Qt::Key_X,  // 清除标记; Ctrl+X stays the editor's cut
    Qt::CTRL | Qt::Key_E,              // 导出错误
    Qt::CTRL | Qt::Key_S,              // 导出修订稿
    Qt::Key_unknown,
    Qt::Key_unknown,
    Qt::Key_unknown,
};
static_assert(std::size(kCommandKeys) == std::size(kCommandCaptions));

// Acting on the findings of "错误列表" (the list's context menu and keys) and moving between
// them (anywhere in the window).
inline constexpr ActionItem kApplySuggestion{u"采用建议", KeyScope::ErrorList, Qt::Key_Return,
                                             Qt::Key_Enter};
inline constexpr ActionItem kIgnore{u"忽略", KeyScope::ErrorList, Qt::Key_Delete};
inline constexpr ActionItem kIgnoreWord{u"全部忽略此词", KeyScope::ErrorList};
inline constexpr ActionItem kAddToCorrect{u"加入用户正确词库", KeyScope::ErrorList};
inline constexpr ActionItem kCopyRows{u"复制", KeyScope::ErrorList, Qt::CTRL | Qt::Key_C};
inline constexpr ActionItem kNextFinding{u"下一个错误", KeyScope::Window, Qt::Key_F8};
inline constexpr ActionItem kPreviousFinding{u"上一个错误", KeyScope::Window,
                                             Qt::SHIFT | Qt::Key_F8};
inline constexpr char16_t kApplied[] = u"已采用%1条建议";
inline constexpr char16_t kIgnored[] = u"已忽略%1处";
inline constexpr char16_t kAddedToCorrect[] = u"“%1”已加入用户正确词库，正在重新加载词库";
inline constexpr char16_t kNotAddedToCorrect[] = u"加入失败！无法写入用户正确词库：\n%1";
// The status bar's right part.
inline constexpr char16_t kCounts[] = u"错误 %1，疑似 %2";

}  // namespace kjf::main_window_texts
