// The texts that the main window and its commands show, in one place.
#pragma once

namespace kjf::main_window_texts {

// The window.
inline constexpr char16_t kTitle[] = u"勘鉴坊 v1.3 build 20220721";
// The tool-bar buttons, in the order of Command.
inline constexpr const char16_t* kCommandCaptions[] = {
    u"导入", u"校对", u"清除标记", u"导出错误", u"词库设置", u"关于", u"退出"};
inline constexpr char16_t kGroupCaption[] = u"错误列表";
inline constexpr char16_t kStatusLabel[] = u"提示：";
inline constexpr char16_t kWelcome[] = u"欢迎使用！";
inline constexpr char16_t kExitQuestion[] = u"确定退出?";
// The caption of the window's questions and messages.
inline constexpr char16_t kMessageCaption[] = u"提示";

// "导入".
inline constexpr char16_t kImportFilter[] =
    u"文本文件(*.txt)|*.txt|Office文件(*.docx)|*.docx|Office文件(*.doc)|*.doc";
inline constexpr char16_t kImportTitle[] = u"导入";
inline constexpr char16_t kImported[] = u"导入成功！";

// "导出错误".
inline constexpr char16_t kExportFilter[] = u"错误文件(*.xlsx)|*.xlsx";
inline constexpr char16_t kExportTitle[] = u"导出错误";
inline constexpr char16_t kExportName[] = u"错误列表";
inline constexpr char16_t kExportSuffix[] = u"xlsx";
inline constexpr char16_t kNothingToExport[] = u"请先校对后再导出！";
inline constexpr char16_t kExported[] = u"导出成功！";
inline constexpr char16_t kSaved[] = u"保存成功！";
inline constexpr char16_t kSavedCaption[] = u"信息:";
inline constexpr char16_t kNotExported[] = u"导出失败！%1";

// The editor's context menu.
inline constexpr char16_t kMenuCaption[] = u"超级列表框菜单";
inline constexpr char16_t kAddToAuto[] = u"加入自动词库";
inline constexpr char16_t kAutoLearning[] = u"自动学习";
inline constexpr char16_t kAdded[] = u"加入成功！";
inline constexpr char16_t kNotAdded[] = u"加入失败！无法写入自动词库文件：\n%1";

// The editor's context menu: the usual editing commands below the program's own.
inline constexpr char16_t kUndo[] = u"撤销";
inline constexpr char16_t kRedo[] = u"重做";
inline constexpr char16_t kCut[] = u"剪切";
inline constexpr char16_t kCopy[] = u"复制";
inline constexpr char16_t kPaste[] = u"粘贴";
inline constexpr char16_t kSelectAll[] = u"全选";

// Acting on the findings of "错误列表".
inline constexpr char16_t kApplySuggestion[] = u"采用建议";
inline constexpr char16_t kIgnore[] = u"忽略";
inline constexpr char16_t kIgnoreWord[] = u"全部忽略此词";
inline constexpr char16_t kAddToCorrect[] = u"加入用户正确词库";
inline constexpr char16_t kCopyRows[] = u"复制";
inline constexpr char16_t kNextFinding[] = u"下一个错误";
inline constexpr char16_t kPreviousFinding[] = u"上一个错误";
inline constexpr char16_t kApplied[] = u"已采用%1条建议";
inline constexpr char16_t kIgnored[] = u"已忽略%1处";
inline constexpr char16_t kAddedToCorrect[] = u"“%1”已加入用户正确词库，下次加载词库时生效";
inline constexpr char16_t kNotAddedToCorrect[] = u"加入失败！无法写入用户正确词库：\n%1";
// The status bar's right part.
inline constexpr char16_t kCounts[] = u"错误 %1，疑似 %2";

}  // namespace kjf::main_window_texts
