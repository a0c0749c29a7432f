// The grammar rules: the rule file's syntax and its faults, and every shipped rule on sentences
// it must correct and sentences it must leave alone, read with the packaged language model's
// vocabulary (libime-data-language-model, a dependency of the program) as the program reads them;
// how the context pass merges rule findings and drops repeated words; neighbouring characters
// repaired together with the packaged model.
#include <gtest/gtest.h>

#include <algorithm>

#include "context/grammar_rules.h"
#include "run/context_pass.h"
#include "shipped_grammar_rules.h"
#include "text/utf.h"

using namespace kjf;

namespace {

TEST(GrammarRuleFile, FaultsNameTheirLine) {
    GrammarRules rules;
    std::string message;
    EXPECT_FALSE(rules.parse("# comment\n\n@degree 很 太\n", "", message));
    EXPECT_EQ(message, "grammar rules, line 3: a list needs '='");
    EXPECT_FALSE(rules.parse("规则: @v 的 很\n", "跑\tv\n", message));
    EXPECT_EQ(message, "grammar rules, line 1: no word>replacement");
    EXPECT_FALSE(rules.parse("规则: @x 的>得\n", "跑\tv\n", message));
    EXPECT_EQ(message, "grammar rules, line 1: no list or word class x");
    EXPECT_FALSE(rules.parse("规则: 的>得 在>再\n", "", message));
    EXPECT_EQ(message, "grammar rules, line 1: one plain word>replacement per rule");
    EXPECT_FALSE(rules.parse("规则: 的>得|地\n", "", message));
    EXPECT_FALSE(rules.parse("规则: 的>de\n", "", message));
    EXPECT_FALSE(rules.parse("规则: 的>地 ~\n", "", message));
    EXPECT_EQ(message, "grammar rules, line 1: '~' needs a number");
    EXPECT_FALSE(rules.parse("规则: 的>地 ~1x\n", "", message));
    EXPECT_FALSE(rules.parse("", "跑 v\n", message));
    EXPECT_EQ(message, "word classes, line 1: not word<TAB>tag");

    EXPECT_TRUE(rules.parse("@degree = 很 太\r\n得: @v 的>得 @degree? 快 $\n", "跑\tv\n", message))
        << message;
    EXPECT_EQ(rules.ruleCount(), 1U);
    EXPECT_EQ(rules.ruleName(0), "得");
}

TEST(GrammarRuleFile, ARuleFindingIsAnErrorOfItsOwnType) {
    EXPECT_EQ(findingTypeText(FindingType::Error, FindingSource::Rule), u"语法");
    EXPECT_EQ(findingTypeText(FindingType::Error, FindingSource::Context), u"语境");
    EXPECT_EQ(findingTypeText(FindingType::Suspected, FindingSource::Rule), u"");
}

rg_BiaoJiCiYuLei error(std::int32_t position, std::u16string word, std::u16string suggestion,
                       FindingSource source) {
    rg_BiaoJiCiYuLei f;
    f.type = FindingType::Error;
    f.position = position;
    f.length = static_cast<std::int32_t>(word.size());
    f.word = std::move(word);
    f.suggestion = std::move(suggestion);
    f.source = source;
    return f;
}

TEST(GrammarRuleFindings, GiveWayToKeptDictionaryFindingsAndWinOverTheModels) {
    const std::vector<rg_BiaoJiCiYuLei> dictionary = {
        error(0, u"按装", u"安装", FindingSource::Dictionary),
        error(10, u"布署", u"部署", FindingSource::Dictionary)};
    ContextResult result;
    result.keep = {true, false};
    result.findings = {error(5, u"的的", u"得的", FindingSource::Context),
                       error(20, u"再", u"载", FindingSource::Context)};
    addRuleFindings(
        {error(1, u"装", u"状", FindingSource::Rule), error(6, u"的", u"地", FindingSource::Rule),
         error(10, u"布", u"部", FindingSource::Rule)},
        dictionary, 30, result);
    // 装 lies under the kept 按装; 布署 was refuted, so 布 is the rule's; the model's 的的 gives
    // way to the rule's 的.
    EXPECT_EQ(result.findings,
              (std::vector<rg_BiaoJiCiYuLei>{error(6, u"的", u"地", FindingSource::Rule),
                                             error(10, u"布", u"部", FindingSource::Rule),
                                             error(20, u"再", u"载", FindingSource::Context)}));
}

TEST(RepeatedWords, TheModelFlagsNoWordThatTheTextWritesTwice) {
    const std::u16string text = u"行尾的空格，行尾。效验一次";
    std::vector<rg_BiaoJiCiYuLei> found = {error(0, u"行尾", u"行为", FindingSource::Context),
                                           error(8, u"效验", u"校验", FindingSource::Context),
                                           error(6, u"行尾", u"行为", FindingSource::Dictionary),
                                           error(3, u"空", u"控", FindingSource::Rule)};
    dropRepeatedWords(text, found);
    // The dictionary's and the rules' findings stay, and so does a word written once.
    EXPECT_EQ(found,
              (std::vector<rg_BiaoJiCiYuLei>{error(8, u"效验", u"校验", FindingSource::Context),
                                             error(6, u"行尾", u"行为", FindingSource::Dictionary),
                                             error(3, u"空", u"控", FindingSource::Rule)}));
    std::vector<rg_BiaoJiCiYuLei> none;
    dropRepeatedWords(text, none);
    EXPECT_TRUE(none.empty());
}

TEST_F(ShippedGrammarRules, DeForDeOfDegreeAndResult) {
    expectFound({{u"他跑的很快。", "的→得 得/程度词"},
                 {u"这件事做的非常好。", "的→得 得/程度"},
                 {u"她唱的不错。", "的→得 得/程度词"},
                 {u"天气变的更冷了。", "变的→变得 得/变的"},
                 {u"这个颜色显的不那么亮。", "显的→显得 得/显的"},
                 {u"我觉的这样不好。", "觉的→觉得 得/觉的"},
                 {u"文件损坏后变的无法使用。", "变的→变得 得/变的"},
                 {u"这不会让程序变的完全安全。", "变的→变得 得/变的"},
                 {u"如果觉的不对，就改。", "觉的→觉得 得/觉的"},
                 {u"会话关闭时记的退出。", "记的→记得 得/记的"},
                 {u"要记的在电子邮件地址中写明。", "记的→记得 得/记的"},
                 {u"文件使用完毕请记的检入。", "记的→记得 得/要记的"}});
    EXPECT_EQ(findings(u"还是要记的 Debian 不稳定版是有风险的。"),
              Found{"记的→记得 得/要记的句末"});
    EXPECT_EQ(findings(u"其中有一些值的在这里进行简要解释。"), Found{"值的→值得 得/值的"});
    // Right as written: 得 already, 的 of a possessive or before a noun, 真的 one word, a clause
    // that goes on in Latin letters.
    expectLeftAlone({u"要记的东西太多了。", u"请记的笔记都在这里。", u"最大值的设置。"});
    // A clause is read across the blanks inside it (没有感 觉的, 不能在读取 时, 变的 更冷)...
    expectLeftAlone({u"这个按钮应当是没有感 觉的。", u"不能在读取 时误导程序。"});
    expectFound({{u"天气变的 更冷了。", "变的→变得 得/变的"},
                 {u"他跑的  很快。", "的→得 得/程度词"},
                 {u"程序 再\t运行 时出错。", "再→在 在/运行时"},
                 {u"程序 被 正确 的 安装 在 机器 上", "的→地 地/被动"}});
    // ...but a word that a blank cuts in two is not replaced, nor one after a blank that may stand
    // for something left out.
    expectLeftAlone({u"我觉 的这样不好。", u"甚至可以仿真 的行为。"});
    expectFound({{u"这在调用shell上 显的不那么自然。", "显的→显得 得/显的"},
                 {u"是吗？ 觉的不对就改。", "觉的→觉得 得/觉的"}});
    expectLeftAlone({u"他跑得很快。", u"天气变得更冷了。", u"我觉得这样不好。",
                     u"我的很多书都旧了。", u"他写的很多文章。", u"真的很好。",
                     u"这是返回值的类型。", u"以前所做的更多 Debian 工作"});
}

TEST_F(ShippedGrammarRules, DeForDiBeforeAVerb) {
    expectFound({{u"我们要慢慢的走。", "的→地 地/叠词"},
                 {u"他认真的检查了每一个文件。", "的→地 地/状语"},
                 {u"需要确切的知道你的目标。", "的→地 地/状语"},
                 {u"只是简单的复制到输出。", "的→地 地/形容词"},
                 {u"必须明确的从列表里区分。", "的→地 地/介词"}});
    // A verb with its aspect particle read as one word (走了) is still a verb.
    expectFound({{u"他慢慢的走了。", "的→地 地/叠词"},
                 {u"可以轻松的在不同语言之间切换。", "的→地 地/形容词介词"},
                 {u"我们可以简单的创建一个哈希。", "的→地 地/情态"},
                 {u"这个脚本被精确的执行一次。", "的→地 地/被动"},
                 {u"它能够方便的从备份中恢复。", "的→地 地/情态介词"},
                 {u"如果您需要安全的删除文件。", "的→地 地/情态宾语"},
                 {u"用命令显式的删除变量。", "的→地 地/显式"},
                 {u"不需要显式的引用这些字符。", "的→地 地/显式情态"},
                 {u"安全的在密钥环中保存。", "的→地 地/形名介词"},
                 {u"清晰的列出所有软件包。", "的→地 地/形容词代词"}});
    // '%' ends the clause whatever follows; '$' only where no letter or digit goes on.
    expectFound({{u"可以轻松的使用 Debian。", "的→地 地/方式外文"},
                 {u"想要从档案库中手动的安装一个软件包。", "的→地 地/方式"},
                 {u"它能够独立的启用和禁用。", "的→地 地/方式情态"},
                 {u"这个技术可以很方便的查看系统。", "的→地 地/情态程度"},
                 {u"日志分析程序频繁的安装在服务器上。", "的→地 地/方式"},
                 {u"请相应的更改日期。", "的→地 地/相应"},
                 {u"其管理者试图尽可能的自动升级。", "的→地 地/方式副词"},
                 {u"光盘驱动器会被自动的识别。", "的→地 地/被动方式"},
                 {u"临时表的行为被广泛的忽略了。", "的→地 地/被动"},
                 {u"你可以简单的重建该索引。", "的→地 地/方式"},
                 {u"其他选项允许你更精细的控制缓存。", "的→地 地/使令程度"},
                 {u"这样就可以快速的插入文本了。", "的→地 地/情态副词宾语"}});
    // A relative clause after 被 keeps the adverbial's 地: 可以被安全地忽略的错误.
    expectFound({{u"一些可以被安全的忽略的错误。", "的→地 地/被动"},
                 {u"数据被用来客观的衡量每个包的流行度。", "的→地 地/方式"},
                 {u"可以盲目的删除它们。", "的→地 地/方式"},
                 {u"可以很方便的得到。", "的→地 地/模型"}});
    expectLeftAlone({u"能被不同的搜索引擎索引。",
                     u"建议您去正规的直销中心去买。",
                     u"会使用显式的转换。",
                     u"可以选择合适的安装方式。",
                     u"提供显式的对行结束转换的控制。",
                     u"需要安全的环境。",
                     u"列出已被激活的阻止锁。",
                     u"这是一个简单的配置。",
                     u"在使用简单的配置 Debian 时。",
                     u"每个域还需要独立的配置文件。",
                     u"产生相应的关闭标签。",
                     u"只显示实际的表数据。",
                     u"需要相应的配置。",
                     u"在设备上进行大量的重新配置。",
                     u"如果解释器是安全的则返回。",
                     u"一个简单的连接将产生错误。",
                     u"已经是很不错的选择了。",
                     u"两门考试的成绩也非常的出色。",
                     u"它易于理解，允许非常简单的备份。",
                     u"如果需要详细的说明，请参阅手册。",
                     u"这是被删除的文件的列表。",
                     u"给出客观的评价。",
                     u"请参阅详尽的说明。"});
    expectFound({{u"只是完整的描述了正在运行的程序。", "的→地 地/形容词"},
                 {u"让文档看起来尽可能的简单。", "的→地 地/尽可能"},
                 {u"尽可能多的应用属性。", "的→地 地/尽可能多"},
                 {u"网卡能够检测并相应的调整电缆的类型。", "的→地 地/相应接续"},
                 {u"其余三个角将相应的移动。", "的→地 地/将相应"},
                 {u"从而更轻松的进行演示。", "的→地 地/方式进行"},
                 {u"如何无阻塞的打开一个文件？", "的→地 地/无"},
                 {u"让用户可以不受干扰的安装程序。", "的→地 地/无"}});
    expectLeftAlone({u"在尽可能的范围内提供帮助。", u"尽可能多的信息。",
                     u"将相应的设置保存到文件中。", u"则相应的变量保持不动。", u"对老的进行修改。",
                     u"如果没有足够的可用区域。", u"没有标准的解法。"});
    expectLeftAlone({u"我们要慢慢地走。", u"认真的学生。", u"好好的一个人。", u"正确的是哪一项？",
                     u"他的认真的态度。", u"某个特定的服务在开机时启动。",
                     u"只需要小小的修改，即可。", u"新的从解释器建立成功。",
                     u"完整的与程序有关的说明。", u"仅需要极少的维护工作。",
                     u"没有简单的转换方式。", u"可以将特殊的控制序列发送出去。",
                     u"一些著名的由系统提供的组。"});
}

TEST_F(ShippedGrammarRules, ZaiForZaiOfPlaceAndRepetition) {
    expectFound({{u"他再家里看书。", "再→在 在/处所"},
                 {u"把书放再桌子上。", "再→在 在/方位"},
                 {u"应用可以再该目录中放置缓存。", "再→在 在/方位"},
                 {u"我在也不去了。", "在→再 再/也不"},
                 {u"在次点击按钮。", "在→再 再/次"},
                 {u"在来一遍。", "在→再 再/来"},
                 {u"然后在说。", "在→再 再/然后"},
                 {u"浏览器在重新打开。", "在→再 再/重新"},
                 {u"左上角的区域将无法在滚动。", "在→再 再/能愿"},
                 {u"错误显示再文件系统目录中。", "再→在 在/框架"},
                 {u"数的大小再体系间可能不同。", "再→在 在/框架"},
                 {u"您可以再微调按钮字段中输入数字。", "再→在 在/框架后动词"},
                 {u"图像映射存储再图像的下一层。", "再→在 在/动词后"},
                 {u"先跳过域在跳过字符。", "在→再 再/先后"},
                 {u"本进程再电源不足时执行。", "再→在 在/名词前"},
                 {u"声明再所有副本中必须保持原样。", "再→在 在/指代前"},
                 {u"不必在担心其工作负担。", "在→再 再/无法"},
                 {u"这样在算一下就明白了。", "在→再 再/尝试"},
                 {u"表明该函数再自己的参数是空值时。", "再→在 在/代词的"},
                 {u"这个整数值控制再浏览器选举中的行为。", "再→在 在/名词动词框架"},
                 {u"如果用户再程序具有焦点时松开按键。", "再→在 在/名词动词框架"},
                 {u"安装光盘再光驱里，它不需要配置。", "再→在 在/框架句末"},
                 {u"用类型的示例可以再折旧函数中找到。", "再→在 在/动宾框架动词"},
                 {u"然后再左侧颜色区选择。", "再→在 在/处所"}});
    EXPECT_EQ(findings(u"共享库用于再不同的二进制可执行文件之间共享。"),
              Found{"再→在 在/的框架未标"});
    expectFound({{u"字符串存储再变量中。", "再→在 在/放置名动处"},
                 {u"你也可以再智能手机阅读。", "再→在 在/情态名词"},
                 {u"措辞可以再法庭站得住脚。", "再→在 在/情态名词"},
                 {u"只有再模式所有者才能删除。", "再→在 在/义务名词"},
                 {u"所以再系统启动过程中，它会检查。", "再→在 在/过程情况"},
                 {u"此选项再默认情况下为激活状态。", "再→在 在/过程情况"},
                 {u"而可以再构建过程中原样安装。", "再→在 在/过程情况"},
                 {u"用于积累关于再发生错误时正在处理的信息。", "再→在 在/动宾时"},
                 {u"这些文件还可能分布再多个分区。", "再→在 在/限定"},
                 {u"可以使用导航再相同文档中移动。", "再→在 在/限定"},
                 {u"文件保存再指定的位置。", "再→在 在/指定的"},
                 {u"连接操作已经再进行中。", "再→在 在/已经"}});
    expectLeftAlone({u"请再指定一个值。", u"然后再指定文件名。", u"他已经再次运行了。",
                     u"我已经再也不去了。", u"如果再多个人就好了。"});
    expectLeftAlone({u"之后再重复这个过程中的步骤。", u"关闭后再打开文件时会提示。",
                     u"下次再打开文件时会提示。", u"以后再出现这种情况下要报告。"});
    EXPECT_EQ(findings(u"这些概念的细节再第 5 章介绍。"), Found{"再→在 在/序数数字"});
    expectLeftAlone({u"然后再第 2 次运行。"});
    expectLeftAlone({u"你可以再编辑一次。", u"我们可以再试试。", u"能再多给一点吗？",
                     u"是否再次运行。", u"是否再编辑一次。"});
    expectLeftAlone({u"然后再打开文件中的链接。", u"可以再运行程序中的测试。", u"再下载文件。"});
    expectFound({{u"无法在对该形状应用填充。", "在→再 再/无法介词"},
                 {u"您可以根据这些信息在体会一下。", "在→再 再/名词尝试"},
                 {u"你应该再本地运行这个服务。", "再→在 在/处所"},
                 {u"您可以再该对话框中编辑。", "再→在 在/指代前"},
                 {u"转换之后就无法在编辑这些对象。", "在→再 再/无法"}});
    expectLeftAlone({u"因此无法再编辑组合中的对象。", u"完成之后再手动装入纸张。",
                     u"无法在本地运行。", u"不要在显示管理器中运行。", u"再这样下去不行。",
                     u"再一个问题是速度。", u"不必在启动时加载。", u"再这样的话就不行了。",
                     u"他再回来时已经晚了。", u"无法在对话框中输入。"});
    expectLeftAlone({u"他在家里看书。", u"我会再来的。", u"请再检查一次。", u"我再也不去了。",
                     u"他在说话。", u"存在次数太多。", u"在次日早上。", u"然后在家里吃饭。",
                     u"在此期间密码有效。", u"在重新安装软件包的时候。", u"客户端是否还在响应。",
                     u"运行程序时再把状态从文件中恢复。", u"配置更改都将在重新启动后丢失。",
                     u"就不需要再在这个文件中指定它们。", u"先把文件放在目录里。",
                     u"保存再退出。"});
}

TEST_F(ShippedGrammarRules, ZaiAndZaiByTheClauseAroundThem) {
    expectFound({{u"设置服务再执行操作时使用。", "再→在 在/动作宾语时"},
                 {u"使用这个格式允许再恢复数据库的时候检查。", "再→在 在/动作宾语时"},
                 {u"以阻止再不同的系统上发生冲突。", "再→在 在/的框架"},
                 {u"再特定模式下运行。", "再→在 在/限定"},
                 {u"再新模式下运行。", "再→在 在/定语框架"},
                 {u"如果需要，可以再输入的数字后面加上单位。", "再→在 在/的框架"},
                 {u"然后你在编译生成的代码。", "在→再 再/然后主语"},
                 {u"依照指定符把它在转换成一个字符串。", "在→再 再/把字句词"},
                 {u"可以在简单些吗？", "在→再 再/形容词些"},
                 {u"这时，数据再数据表中的位置不变。", "再→在 在/框架接续"},
                 {u"用这个词来形容在合适不过。", "在→再 再/不过"},
                 {u"在加上天气不好，就没去。", "在→再 再/加上"},
                 {u"我们千万不要在开车上路了。", "在→再 再/不要"},
                 {u"越野不在是有钱人的事情。", "在→再 再/不再是"},
                 {u"如果在添一点就好了。", "在→再 再/如果"},
                 {u"使用鼠标再标尺上为当前段落设置缩进。", "再→在 在/框架接续"},
                 {u"系统再运行时，仅会读取配置。", "再→在 在/运行时"},
                 {u"便可以再重启时，让系统自动加载。", "再→在 在/动词时"},
                 {u"可以再你需要的时候任意调整。", "再→在 在/代词动词的时候"},
                 {u"这个选项再性能方面等效于另一个。", "再→在 在/框架"},
                 {u"这意味着再循环体中做的变化。", "再→在 在/名动框架"},
                 {u"并将其显示再工作区域中。", "再→在 在/名动框架"},
                 {u"文件存放再下载目录里。", "再→在 在/放置名动框架"},
                 {u"这个命令返回再第一个名字空间中的值。", "再→在 在/序数"}});
    expectLeftAlone({u"设置服务在执行操作时使用。", u"当你再次打开它时。", u"可以再执行一次。",
                     u"然后你在列表中选择。", u"然后你在编译时加上选项。",
                     u"把它在列表中转换成字符串。", u"在大一些的范围内。", u"然后再执行操作。",
                     u"可以再输入一个数字。", u"然后再回到原来的位置上。",
                     u"数据存储在板上，再存到世界山脉下面的防弹沙漏里。", u"再两个月后的今天。",
                     u"不要在显示管理器中运行。", u"不要在开车时打电话。", u"他当前不在运行。",
                     u"在加拿大上学。", u"问题不在于价格。", u"如果在家里就好了。"});
    // After a word of sequence, or before a verb mostly done again, 再 is 再.
    expectLeftAlone({u"您可能会发现合上盖再打开时，不能唤醒电脑。", u"保存之后再运行时会更快。",
                     u"就不要再运行时钟了。", u"等他再回来时，天已经黑了。", u"然后再第二次运行。",
                     u"保存再设置窗口里的内容。"});
}

TEST_F(ShippedGrammarRules, ParticlesOfNarrativeProse) {
    expectFound({{u"他高兴的跳了起来。", "的→地 地/情绪"},
                 {u"孩子们开心的笑了。", "的→地 地/情绪句末"},
                 {u"老师耐心的给我们讲解。", "的→地 地/情绪介词"},
                 {u"他说的很对。", "的→得 得/程度"},
                 {u"他唱歌唱的真好听。", "的→得 得/程度"},
                 {u"别将它们删的太快了。", "的→得 得/程度"},
                 {u"他把房间打扫的干干净净。", "的→得 得/叠词"},
                 {u"问题都解决了，也不能高兴的太早。", "的→得 得/情绪程度"},
                 {u"我们再北京见面。", "再→在 在/场所"},
                 {u"他再学校上课。", "再→在 在/场所"},
                 {u"我们先吃饭，然后在讨论。", "在→再 再/然后"},
                 {u"等我吃完饭在去。", "在→再 再/完成后"},
                 {u"请你在仔细检查一遍。", "在→再 再/尝试"},
                 {u"你在想想办法。", "在→再 再/叠词动词"},
                 {u"在这样下去可不行。", "在→再 再/这样下去词"},
                 {u"在过几天就是春节了。", "在→再 再/过时段"},
                 {u"你在不走就来不及了。", "在→再 再/不就"},
                 {u"他把字写的很工整。", "的→得 得/程度"},
                 {u"吃完饭在去散步吧。", "在→再 再/完成后去"},
                 {u"我们在努力一下就能完成。", "在→再 再/尝试"},
                 {u"他说的很有道理。", "的→得 得/有道理"},
                 {u"天气冷的让人发抖。", "的→得 得/让人"},
                 {u"雨下的越来越大了。", "的→得 得/越来越"}});
    expectLeftAlone({u"一个美丽的令人难忘的夜晚。", u"我的越来越好了。"});
    expectFound({{u"她轻轻的关上了门。", "的→地 地/叠词副词"},
                 {u"天空渐渐的暗了下来。", "的→地 地/叠词副词"},
                 {u"这个菜做的太咸了。", "的→得 得/程度"},
                 {u"我累的走不动了。", "的→得 得/状态补语"},
                 {u"他气的说不出话来。", "的→得 得/状态补语"}});
    expectLeftAlone({u"我的走不动的那只鞋。", u"累的时候休息一下。"});
    expectLeftAlone({u"他有高高的个子。", u"小小的房间里住着三个人。", u"红红的苹果挂满了枝头。"});
    expectLeftAlone({u"吃完饭在去公司的路上。", u"他说的话很有道理。", u"我们在努力工作。",
                     u"吃完饭再去散步吧。"});
    expectLeftAlone({u"这是一个令人高兴的消息。", u"紧张的工作环境。", u"热情的服务。",
                     u"在执行仔细的复核后发布。", u"高兴的是他来了。", u"没有它打印的那么多。",
                     u"类似的东东。", u"他在学校上课。", u"我会再来学校。", u"做完作业在家里玩。",
                     u"然后在列表中选择。", u"他唱得真好听。"});
    expectFound({{u"她哭的停不下来。", "的→得 得/状态补语不"},
                 {u"哥哥游的比我快。", "的→得 得/比较"},
                 {u"如果我们在不出发，就赶不上了。", "在→再 再/如果不"},
                 {u"下次在见吧！", "在→再 再/再见"},
                 {u"你们再干嘛呢？", "再→在 在/在干什么"},
                 {u"这么多饭你吃的完吗？", "的→得 得/可能补语"}});
    expectLeftAlone(
        {u"他在见客户。", u"我们在见面时再谈。", u"我看的书很多。", u"他做的到底对不对？"});
    expectFound({{u"今年的雨下的很大。", "的→得 得/程度词模型"},
                 {u"这封信书写的很工整。", "的→得 得/程度模型"},
                 {u"我们安静的等他回来。", "的→地 地/单字动词"},
                 {u"简单的说，就是这样。", "的→地 地/单字动词"}});
    expectLeftAlone({u"纯粹的推背感让人着迷。", u"并行的写操作完成了。", u"这是最大的写次数。",
                     u"她露出甜甜的笑。", u"脸上挂着淡淡的笑。"});
    expectFound(
        {{u"她甜甜的笑了。", "的→地 地/叠词"}, {u"她高高兴兴的上学去了。", "的→地 地/叠词"}});
    expectLeftAlone({u"新的很贵，旧的很便宜。", u"大的很重。", u"我的很好。",
                     u"如果你在不同的目录中运行。", u"跑的比我快的人很多。", u"红色的很好看。"});
}

TEST_F(ShippedGrammarRules, WordsOfOneSoundByTheWordsAroundThem) {
    expectFound({{u"此用户无法使用登陆密码。", "登陆→登录 登录/账号"},
                 {u"如果自动登陆失败。", "登陆→登录 登录/方式"},
                 {u"可以节省费用，应为你可以断开连接。", "应为→因为 因为/句首"},
                 {u"你必需拥有该表。", "必需→必须 必须/动词前"},
                 {u"然后 ssh 在后台退出登陆。", "登陆→登录 登录/方式"},
                 {u"实现远程免密码登陆。", "登陆→登录 登录/方式"},
                 {u"请指定登陆名称。", "登陆→登录 登录/账号"}});
    expectLeftAlone({u"台风将在今晚登陆。", u"台风登陆后风力减弱。", u"这款产品将登陆中国市场。"});
    EXPECT_EQ(findings(u"文件中没有它，应为通常情况下不需要。"), Found{"应为→因为 因为/句首"});
    EXPECT_EQ(findings(u"这对很多人来说非常有用，应为许多电子邮件都是这样。"),
              Found{"应为→因为 因为/句首"});
    expectLeftAlone({u"参数的值应为这些名字之一。", u"列表应为许多名字。"});
    expectFound({{u"一但完成了调试，记住提交。", "一但→一旦 一旦/一但"},
                 {u"然后拔号上网。", "拔号→拨号 拨号/拔号"},
                 {u"检查网页是否是最新的版本既可。", "既→即 即可/句末"},
                 {u"请检查输入是否符和条件。", "和→合 符合/符和"},
                 {u"这个方案不符和要求。", "和→合 符合/不符和"}});
    expectLeftAlone(
        {u"台风可以登陆的地方。", u"既可以编辑，也可以删除。", u"参数的值，应为整数。"});
    expectLeftAlone({u"台风在沿海登陆。", u"部队登陆后向内陆推进。", u"其值应为零。",
                     u"这是必需的软件包。", u"系统正常运行必需的文件。",
                     u"在根用户执行命令所必需用到的共享库。"});
    expectLeftAlone({u"删除手动分页符和换行符。", u"运算符和操作数之间要有空格。",
                     u"与事实不符和逻辑错误都要改。"});
}

// The context check with the packaged model and the shipped confusion sets.
using PackagedModel = ShippedGrammarRules;

TEST_F(PackagedModel, NeighbouringCharactersAreRepairedTogether) {
    // 社制 is no word and neither 社 nor 制 alone can be changed into one: 设置 sounds alike and
    // replaces both.
    const std::u16string text = u"请打开社制菜单。请打开设置菜单。";
    ContextInput input;
    input.text = text;
    const auto result = runContextCheck(*s_model, input, ContextOptions{});
    ASSERT_EQ(result.findings.size(), 1U);
    EXPECT_EQ(result.findings[0], error(3, u"社制", u"设置", FindingSource::Context));
}

TEST_F(PackagedModel, AWordMadeOfOneCharacterWordsNeedsLessOfItsGainFromContext) {
    // 目绿 reads as 目 + 绿; 目录 sounds alike, and most of its gain is how common it is.
    ContextOptions strict;
    strict.madeWordExtra = strict.frequencyOnlyExtra;
    strict.commonMadeWordRelief = 0;
    expectFoundOnlyWithLessGain(u"“/usr” 当然就是应用程序的目绿。",
                                error(16, u"目绿", u"目录", FindingSource::Context), strict);
    // Characters mostly written in names are left out: 普洛 is a transliteration's.
    EXPECT_TRUE(s_model->isNameCharacter(u'洛'));
    EXPECT_FALSE(s_model->isNameCharacter(u'录'));
}

TEST_F(PackagedModel, AWordMadeOfOneCharacterWordsBySimilarShapeNeedsLessToo) {
    // 处埋 reads as 处 + 埋; 理 looks like 埋, and 处理 is mostly found for how common it is.
    ContextOptions strict;
    strict.madeShapeWordExtra = strict.frequencyOnlyExtra;
    expectFoundOnlyWithLessGain(u"包中的其他命令在处埋 PostScript 文档时是很有用的。",
                                error(8, u"处埋", u"处理", FindingSource::Context), strict);
}

TEST_F(PackagedModel, CharactersOfOneFourCornerCodeAreShapesThatNeitherCodeSees) {
    // 未 (JD, FII) and 末 (DJ, GSI) are far apart in Cangjie and Wubi and share 5090.0.
    EXPECT_EQ(s_model->confusion(u'未', u'末'), Confusion::Shape);
    ContextInput input;
    input.text = u"这个周未我们打算带孩子去郊外露营。";
    const auto result = runContextCheck(*s_model, input, ContextOptions{});
    EXPECT_EQ(result.findings,
              (std::vector<rg_BiaoJiCiYuLei>{error(2, u"周未", u"周末", FindingSource::Context)}));
}

TEST_F(PackagedModel, OneOfTheCommonestWordsMadeOfOneCharacterWordsNeedsLessStill) {
    // 属姓 reads as 属 + 姓; 属性 sounds alike and is one of the commonest words.
    ContextOptions strict;
    strict.commonMadeWordRelief = 0;
    expectFoundOnlyWithLessGain(u"所选的段落具有「粗体」属姓。",
                                error(11, u"属姓", u"属性", FindingSource::Context), strict);
    // 特 looks like 持, and 支持 is as common.
    expectFoundOnlyWithLessGain(u"系统的内核支特替换正在使用的文件。",
                                error(5, u"支特", u"支持", FindingSource::Context), strict);
    // Not where a word of the correct dictionaries covers the characters as written: the model
    // does not know 行尾, which would read as 行为.
    ContextInput input;
    input.text = u"从这个字符开始，到行尾结束。";
    ASSERT_EQ(runContextCheck(*s_model, input, ContextOptions{}).findings.size(), 1U);
    input.isKnownWord = [](std::u16string_view word) { return word == u"行尾"; };
    EXPECT_TRUE(runContextCheck(*s_model, input, ContextOptions{}).findings.empty());
}

// 一个越出 does not read as 一 + 个月 + 出: a replacement that makes a word of a character of
// another word as written needs more.
TEST_F(PackagedModel, AWordThatTakesACharacterFromAnotherWordNeedsMore) {
    ContextOptions lenient;
    lenient.takenWordExtra = 0;
    ContextInput input;
    input.text = u"其中至少一个越出了地址空间。";
    EXPECT_TRUE(runContextCheck(*s_model, input, ContextOptions{}).findings.empty());
    EXPECT_EQ(runContextCheck(*s_model, input, lenient).findings.size(), 1U);
}

// A sentence written in traditional characters is the writer's choice; a stray traditional
// character in Simplified text is still replaced by its Simplified form. The same word in a
// sentence of traditional characters stays.
TEST_F(PackagedModel, ASentenceInTraditionalCharactersKeepsThem) {
    ContextInput input;
    input.text = u"《星島日報》美西版散文專欄作家。";
    EXPECT_TRUE(runContextCheck(*s_model, input, ContextOptions{}).findings.empty());
    input.text = u"这家企業的发展很快。";
    const auto found = runContextCheck(*s_model, input, ContextOptions{}).findings;
    ASSERT_EQ(found.size(), 1U);
    EXPECT_EQ(found[0].suggestion, u"企业");
    input.text = u"這家企業的發展很快。";
    EXPECT_TRUE(runContextCheck(*s_model, input, ContextOptions{}).findings.empty());
}

// A rule with '~' fires only where the model reads its replacement that much better; where it
// does not, the rules after it judge the word.
TEST_F(ShippedGrammarRules, ARuleThatAsksTheModelFiresOnlyOnItsGain) {
    const std::u16string_view text = u"服务器稳定的处理大量请求。";
    const std::string_view classes = "稳定\ta\n处理\tv\n";
    GrammarRules rules;
    std::string message;
    const auto found = [&](std::string_view file) {
        EXPECT_TRUE(rules.parse(file, classes, message)) << message;
        std::vector<std::string> out;
        for (const auto& f : rules.check(*s_model, text)) {
            out.push_back(utf16ToUtf8Lossy(f.word) + "→" + utf16ToUtf8Lossy(f.suggestion));
        }
        return out;
    };
    EXPECT_EQ(found("门: @a 的>地 @v ~0\n"), Found{"的→地"});
    EXPECT_EQ(found("门: @a 的>地 @v ~3\n"), Found{});
    EXPECT_EQ(found("门: @a 的>地 @v ~3\n后: @a 的>得 @v\n"), Found{"的→得"});
    EXPECT_EQ(found("门: @a 的>地 @v ~-0.5\n后: @a 的>得 @v\n"), Found{"的→地"});
}

// The shipped rules that ask the model: an adverbial's 地 where the words before it leave no noun
// phrase, and 在 where the model reads it better than 再.
TEST_F(ShippedGrammarRules, ParticlesTheModelJudges) {
    expectFound({{u"服务器稳定的处理大量请求。", "的→地 地/模型"},
                 {u"用户随意的修改配置文件。", "的→地 地/模型"},
                 {u"管理员只是简单的重启服务。", "的→地 地/模型情态"},
                 {u"工具透明的删除子目录。", "的→地 地/模型"}});
    expectLeftAlone({u"他做出了明确的决定。", u"这是正确的选择。", u"明确的决定。",
                     u"成功的关闭是必要的。", u"插入完整的引用。", u"需要获得适当的授权。",
                     u"或者简要的描述。", u"这类错误的安装问题很常见。", u"这是一个合理的选择。",
                     u"他们讨论了若干错误的处理。"});
    expectFound(
        {{u"他们再会议室开会。", "再→在 在/模型名词"}, {u"系统仍然再继续运行。", "再→在 在/模型"}});
    expectLeftAlone({u"不可再争议。", u"请再小一点。", u"再启动一次系统。", u"再两个月后的今天。",
                     u"你可以再试一次。", u"我们明天再讨论这个问题。", u"先关闭程序再删除文件。",
                     u"修改以后再保存文件。", u"他再也没有回来。"});
}

TEST_F(ShippedGrammarRules, PositionsAreThoseOfTheWholeText) {
    const std::u16string text = u"ab 他跑的很快。\n我们要慢慢的走";
    const auto found = s_rules->check(*s_model, text);
    ASSERT_EQ(found.size(), 2U);
    EXPECT_EQ(found[0].position, 5);
    EXPECT_EQ(found[1].position, 15);
    EXPECT_EQ(text[15], u'的');
}

}  // namespace
