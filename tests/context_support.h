// A tiny language model and confusion tables for tests of the context check, built from ARPA
// text with libime's own tool, so that every gain is known.
#pragma once

#include <string>
#include <string_view>

namespace kjf::test {

// log10 probabilities and back-offs. 审计 follows 责任 and precedes 项目; 套取 follows 依法 and
// precedes 资金; 下载 follows 已. 神迹 and 套曲 are rare words that nothing predicts.
inline constexpr std::string_view kArpa = R"(
\data\
ngram 1=31
ngram 2=8

\1-grams:
-99	<s>	0
-1.0	</s>
-3.0	<unk>
-2.0	经济	-0.3
-2.0	责任	-0.3
-2.5	审计	-0.3
-5.0	神迹	-0.3
-2.0	项目	-0.3
-2.5	依法	-0.3
-3.5	套取	-0.3
-5.0	套曲	-0.3
-2.0	资金	-0.3
-2.5	以下	-0.3
-2.5	下载	-0.3
-2.5	完成	-0.3
-3.0	已	-0.3
-3.0	下	-0.3
-3.5	载	-0.3
-3.0	套	-0.3
-3.0	取	-0.3
-3.0	曲	-0.3
-3.0	神	-0.3
-3.5	迹	-0.3
-3.0	审	-0.3
-3.0	计	-0.3
-3.0	经	-0.3
-3.5	济	-0.3
-3.5	责	-0.3
-3.0	任	-0.3
-3.0	项	-0.3
-3.0	目	-0.3

\2-grams:
-0.5	经济 责任
-0.7	责任 审计
-0.7	审计 项目
-1.0	依法 套取
-0.5	套取 资金
-1.0	已 下载
-0.8	下载 完成
-1.0	<s> 经济

\end\
)";

inline constexpr std::string_view kReadings =
    "# test readings\n审\tshen\n神\tshen\n计\tji\n迹\tji\n取\tqu\n曲\tqu\n已\tyi\n以\tyi\n"
    "载\tzai\n再\tzai\n资\tzi\n知\tzhi\n";
inline constexpr std::string_view kNear = "zi\tzhi\nzhi\tzi\n";
inline constexpr std::string_view kShapes = "已\t己巳\n";
inline constexpr std::string_view kVariants = "審\t审\n";

// Writes the four confusion tables into directory (ending in '/').
void writeTinyConfusionTables(const std::string& directory);

// Builds a binary model from the ARPA file at arpaPath into modelPath with libime's tool, with
// the options the packaged model uses when packed is true. False when the tool fails.
bool buildLanguageModel(const std::string& arpaPath, const std::string& modelPath, bool packed);

// The tiny model: directory gets model.arpa and the confusion tables, modelPath the binary model.
bool writeTinyContextModel(const std::string& directory, const std::string& modelPath);

}  // namespace kjf::test
