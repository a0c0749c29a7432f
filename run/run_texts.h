// The texts a proofreading run shows, shared by the desktop program and the command-line tool.
#pragma once

#include <cstdint>
#include <string>

#include "engine/load_report.h"

namespace kjf {

class rg_ChaCuoYinQing;

// "校对完毕，共检测出" + count + "个问题！"
std::u16string checkFinishedText(std::size_t findingCount);

// "处理速度：" + speed + "万字/小时"; the speed is "0" within ±0.000001, otherwise printed like
// "%.15G" (the engine reports whole numbers, so this is an integer such as 900).
std::u16string speedText(double speed);

// One line that tells the user what a dictionary load could not use, naming the file.
std::u16string loadProblemText(const LoadProblem& problem);

// Why nothing can be checked: the load gave no word at all. Names setup.ini (in
// settingsDirectory, ending in '/') and says when it is missing or cannot be read.
std::u16string noDictionaryText(const std::string& settingsDirectory);

// Whether the last load gave no word at all. Waits for a load in progress.
bool noWordsLoaded(const rg_ChaCuoYinQing& engine);

}  // namespace kjf
