// The shipped grammar rules on everyday writing: the plans and requests of office mail, where 再
// is meant and 在 is written, and the states and doings of narrative, on sentences of our own that
// they must correct and sentences right as written that they must leave alone.
#include <gtest/gtest.h>

#include "shipped_grammar_rules.h"

using namespace kjf;

namespace {

TEST_F(ShippedGrammarRules, WhatIsLeftForLaterTakesZaiOfAgain) {
    expectFound({{u"下周在去吧。", "在→再 再/以后"},
                 {u"这个问题下次开会在讨论。", "在→再 再/以后"},
                 {u"下个月我们在见面。", "在→再 再/下个月"},
                 {u"等天晴了在出发。", "在→再 再/等了"},
                 {u"如有问题请在与我们联系。", "在→再 再/请与"},
                 {u"我们在努力一点就能成功。", "在→再 再/一点就"},
                 {u"会议再三楼举行。", "再三→在三 在/再三楼"}});
    // Being busy then, a place, a time or a frame after 在 keep it.
    expectLeftAlone({u"明天我在开会。", u"明天在公司讨论。", u"等他来了在门口见。",
                     u"请在与客户联系时说明身份。", u"在与对手的比赛中。", u"他再三强调安全。",
                     u"下个月我们在上海见面。"});
}

TEST_F(ShippedGrammarRules, ZaiOfAgainBeforeHowOftenAndMeetingAgainStays) {
    // Each of these was once marked 再→在 by a rule that asks the model, or by the noun rules.
    expectLeftAlone({u"我们再讨论一下。", u"老师再讲一遍。", u"我们再研究研究。", u"我们再见面吧。",
                     u"如果还有疑问，可以再联系我。", u"您可以根据这些信息再体会一下。",
                     u"最后的再分类比较。", u"这个问题我们下次开会再讨论。",
                     u"请大家会后再仔细看一下材料。"});
    // What still reads as a place keeps its finding.
    expectFound(
        {{u"可以再家里办公。", "再→在 在/处所"}, {u"你可以再会议室等我。", "再→在 在/情态名词"}});
}

TEST_F(ShippedGrammarRules, StatesAndGoingInNarrative) {
    expectFound({{u"他激动的热泪盈眶。", "的→得 得/状态表现"},
                 {u"他气的满脸通红。", "的→得 得/状态表现"},
                 {u"大家笑的前仰后合。", "的→得 得/状态表现"},
                 {u"他飞快的跑回了家。", "的→地 地/情绪"},
                 {u"这里的风景美的让人难忘。", "美的→美得 得/美得"},
                 {u"我今天早上起的很早。", "的→得 得/程度词"},
                 {u"我们已经登陆了系统。", "登陆→登录 登录/了"}});
    expectLeftAlone({u"将尽快给消费者一个满意的答复。", u"度过了一个愉快的周末。"});
    expectLeftAlone({u"这是激动的泪水。", u"美的空调很好用。", u"嫦娥登陆了月球。",
                     u"她激动得流下了眼泪。", u"他是我最好的朋友。", u"他飞快地跑回了家。"});
}

TEST_F(ShippedGrammarRules, ClassicSlipsTheWordListCannotHold) {
    // The lexicon lists 好象 and 那怕 as words, so the word list cannot flag them.
    expectFound({{u"好象没有这个型号。", "好象→好像 像/好象"},
                 {u"就象你说的那样。", "象→像 像/就象"},
                 {u"那怕下雨也要去。", "那怕→哪怕 哪怕/那怕"},
                 {u"先把粉丝搞起来，然后在写文章。", "在→再 再/然后动词"},
                 {u"相信即尴尬又影响心情。", "即→既 既/即又"},
                 {u"同级别得车型都要低一些。", "得→的 的/名词得名词"}});
    expectLeftAlone(
        {u"立即又回来了。", u"即使下雨又怎样。", u"他得奖了。", u"比赛得分很高。", u"一定得去。"});
    expectLeftAlone({u"大象一样的身体。", u"这是一种假象。", u"调用的对象是空的。",
                     u"就像你说的那样。", u"然后在列表中选择。", u"然后在家里休息。",
                     u"哪怕下雨也要去。"});
}

TEST_F(ShippedGrammarRules, WordsOfTravelAndReasonByTheWordsAroundThem) {
    expectFound({{u"本人做飞机回来。", "做→坐 坐/做"},
                 {u"行使后停止发动机。", "行使→行驶 行驶/行使"},
                 {u"车辆行使起来很平稳。", "行使→行驶 行驶/行使车"},
                 {u"正式因为它的出现。", "正式→正是 正是/正式"}});
    expectLeftAlone({u"他在做飞机模型。", u"依法行使职权。", u"这项权利由股东行使。",
                     u"新车正式上市。", u"他们坐飞机回来。"});
}

TEST_F(ShippedGrammarRules, ParticlesOfStudentsEssays) {
    expectFound({{u"同学们都在认真的写作业。", "的→地 地/写"},
                 {u"老师语重心长的对我说了一番话。", "的→地 地/情绪介词"},
                 {u"他们争先恐后的报名参加比赛。", "的→地 地/情绪"},
                 {u"老奶奶慈祥的看着我。", "的→地 地/情绪"},
                 {u"我激动的一夜没睡着。", "的→得 得/状态一夜"},
                 {u"我把房间打扫的一尘不染。", "的→得 得/结果"},
                 {u"小明跑的飞快，第一个冲过了终点。", "的→得 得/结果"},
                 {u"那天的天气冷的让人受不了。", "的→得 得/让人不"}});
    expectLeftAlone({u"他写的作业很工整。", u"一副小心翼翼的样子。", u"飞快的速度。",
                     u"这是一个令人受不了的决定。", u"我们在一起度过了快乐的时光。"});
}

// Slips and right sentences of a probe written by a second reader, who had not seen the rules.
TEST_F(ShippedGrammarRules, ASecondReadersSlips) {
    expectFound({{u"这件事我们明天在说吧。", "在→再 再/以后吧"},
                 {u"如果在不出发就要迟到了。", "在→再 再/如果不"},
                 {u"请不要在犯同样的错误了。", "在→再 再/不要犯"},
                 {u"等我吃完饭在给你打电话。", "在→再 再/完成后介词"},
                 {u"明年我还想在来这里旅游。", "在→再 再/想来"},
                 {u"休息一会儿在干吧。", "在→再 再/一会儿"},
                 {u"我今天累的不想说话。", "的→得 得/状态不想"},
                 {u"他紧张的手心都出汗了。", "的→得 得/状态身体"},
                 {u"天气热的让人受不了。", "的→得 得/让人不"},
                 {u"妈妈温柔的摸了摸我的头。", "的→地 地/一下"},
                 {u"这是他得书包。", "得→的 的/代词得"}});
    // What someone bought or said is a thing, and a time after coming keeps 在.
    expectLeftAlone({u"你买的太贵了。", u"他说的不对，你别信。", u"我想在来之前打个电话。",
                     u"他会在来的路上给你打电话。", u"如果在不同的系统上运行，结果会不同。",
                     u"不要在吃饭时说话。", u"他得病了。", u"稍等一下在线客服。",
                     u"吃完饭在家里休息。"});
    EXPECT_EQ(findings(u"他跑的很快。"), Found{"的→得 得/程度词"});
}

TEST_F(ShippedGrammarRules, AThirdReadersSlips) {
    expectFound({{u"我地书包落在教室里了。", "地→的 的/代词地"},
                 {u"张晓燕地妹妹今年刚上小学。", "地→的 的/亲属地"},
                 {u"这是一本很有意义地书，推荐大家读一读。", "地→的 的/形容词地人"},
                 {u"大家热烈得讨论着下周的计划。", "得→地 地/方式得"},
                 {u"周磊飞快得跑下楼。", "得→地 地/飞快得"},
                 {u"她累地满头大汗。", "地→得 得/结果地"},
                 {u"王大爷写地一手好字。", "地→得 得/结果地"},
                 {u"欧阳明急的团团转。", "的→得 得/状态团团转"},
                 {u"这件衣服有点大，能不能在换一件小号的？", "在→再 再/能不能分开"},
                 {u"听我把话说完在决定也不迟。", "在→再 再/完成后也"},
                 {u"双方签好合同后在支付首期款项。", "在→再 再/后动词"},
                 {u"待白糖充分融合后在分三次加入鸡蛋。", "在→再 再/后动词"},
                 {u"她把作业在看了一遍才交上去。", "在→再 再/把又一遍"}});
    // A state leads to what follows it; a place after 后 or 能不能, a name after 后, a reduplicated
    // adverb before a person, and 地 inside a word keep what they have.
    expectLeftAlone({u"他激动得哭着说不出话来。", u"她高兴得唱起歌来。", u"会后在大厅合影留念。",
                     u"后在死亡山脉大决战中为联军建造工事。", u"能不能在家里休息一天？",
                     u"悄悄地妈妈走了进来。", u"他在桌上的地图上画了一条线。", u"他认真地写作业。",
                     u"他们在看了一遍之后才签字。"});
}

TEST_F(ShippedGrammarRules, WordsThatAreWordsTooByTheWordsAroundThem) {
    expectFound({{u"居民多次向物业反应电梯噪音太大的问题。", "反应→反映 反映/向谁"},
                 {u"截止本月底，已有三千多名考生报名。", "截止→截至 截至/时间"},
                 {u"征文活动将于五月三十一日截至，逾期不再受理。", "截至→截止 截止/句末"},
                 {u"每个公民都依法享有受教育的权力。", "权力→权利 权利/享有"},
                 {u"我们一家人在海南渡过了一个愉快的寒假。", "渡过→度过 度过/时光"},
                 {u"红军冒着枪林弹雨度过了金沙江。", "度过→渡过 渡过/江河"},
                 {u"她每天都要对着镜子化装半个小时。", "化装→化妆 化妆/镜子"},
                 {u"他在报纸上登了一则寻物启示。", "启示→启事 启事/寻物"},
                 {u"墙上挂着一副精美的山水画。", "副→幅 幅/画"},
                 {u"秋天是一个收货的季节。", "收货→收获 收获/季节"},
                 {u"请先检查包装再点击确认收获。", "收获→收货 收货/确认"},
                 {u"这位运动员打破了全国记录。", "记录→纪录 纪录/打破"},
                 {u"大家团结一心，就一定能客服眼前的困难。", "客服→克服 克服/困难"},
                 {u"那个带着红色帽子的小女孩是我的女儿。", "带着→戴着 戴/帽子"},
                 {u"等明天天晴了在把被子拿出去晒一晒吧。", "在→再 再/了把"},
                 {u"这是一个美丽地传说。", "地→的 的/量词形容词地"},
                 {u"她跑的比谁都快。", "的→得 得/比较都"},
                 {u"这幅画画的栩栩如生。", "的→得 得/名词结果"},
                 {u"小王兴奋的告诉大家一个好消息。", "的→地 地/情绪告诉"},
                 {u"经理满意的点了点头。", "的→地 地/情绪点头"},
                 {u"请各位来宾有序的进入会场。", "的→地 地/有序"}});
    // Power one holds, a deadline, a difficulty got through, a pair's measure, goods received,
    // a satisfying answer, an orderly development and a child brought along stay as written.
    expectLeftAlone({u"他享有很大的权力。", u"请在截止日期前提交。", u"截至目前，已有三千人报名。",
                     u"他们终于渡过了难关。", u"门上贴着一副对联。", u"收货的时候请当面检查。",
                     u"给了我们一个满意的回答。", u"社会需要有序的发展。", u"哗哗的流水声传来。",
                     u"行使权力要依法。", u"我们的客服很耐心。", u"他带着孩子去公园。"});
}

TEST_F(ShippedGrammarRules, AFourthReadersSlips) {
    expectFound({{u"不要再数据库运行时修改配置文件。", "再→在 在/不要再运行时"},
                 {u"不要再服务器运行期间拔掉电源。", "再→在 在/不要再时"},
                 {u"请再设置页面中选择纸张大小。", "再→在 在/请再页面"},
                 {u"如果不行，请稍后在试。", "在→再 再/稍后试"},
                 {u"然后在开始安装。", "在→再 再/然后开始"},
                 {u"今后不会在出现这样的问题了。", "在→再 再/不会动词分开"},
                 {u"希望明年还能在来。", "在→再 再/还能来分开"},
                 {u"等我回来在说吧。", "在→再 再/回来说吧"},
                 {u"他一在向我保证不会迟到。", "在→再 再/一再"},
                 {u"今年的销量在创新高。", "在→再 再/创新高"},
                 {u"界面设计的很直观。", "的→得 得/动名程度"},
                 {u"会议室被布置地整整齐齐。", "地→得 得/动词叠词地"},
                 {u"月亮圆地像一个银盘。", "地→得 得/形容词像"},
                 {u"程序会逐行的比较两个文件。", "的→地 地/逐行"},
                 {u"我高兴的一夜都没睡着。", "的→得 得/状态一夜"},
                 {u"老周笑的眼睛都眯成了一条缝。", "的→得 得/状态身体"},
                 {u"打开大文件时系统反映迟钝。", "反映→反应 反应/迟钝"},
                 {u"请把员工反应的问题整理出来。", "反应→反映 反映/的问题"},
                 {u"他向银行申请了一笔货款。", "货款→贷款 贷款/银行"}});
    // Once more after a time or 先, 再创, 无法再 before a verb and its object, and a time clause
    // after 不能在 keep what they have.
    expectLeftAlone({u"今年的粮食产量再创新高。", u"我们在这里休息一下，天黑之前再赶路。",
                     u"退出组合，因此无法再编辑组合中的单个对象。",
                     u"该游标不能在创建它的事务提交后使用。", u"我们先吃饭再说。",
                     u"收到货款后请开具发票。"});
}

TEST_F(ShippedGrammarRules, ParticlesOfTechnicalProseAndOfPeoplesThings) {
    expectFound({{u"准确的找出需要哪些依赖可能很困难。", "的→地 地/结果动词"},
                 {u"递归的列出目录以及其下内容的属性。", "的→地 地/结果动词"},
                 {u"它们分别的匹配一行的开始和结束。", "的→地 地/动词数量"},
                 {u"数据在网络上一帧一帧的传输。", "的→地 地/一一"},
                 {u"剩余的文字会被逐个字符的转换。", "的→地 地/逐个名词"},
                 {u"它将无条件的为每个输入值调用。", "的→地 地/无条件"},
                 {u"我听出了陈叔叔地声音。", "地→的 的/人名地"},
                 {u"请不要拆开本产品地外壳。", "地→的 的/本名词地"}});
    // 地 after what happens at a place, and after an adverb the lexicon calls a noun, stays.
    expectLeftAlone({u"宣告失踪，一律适用自然人经常居所地法律。",
                     u"依法院地国适用于先决问题的冲突规范。", u"而盲目地产生了错误的输出。",
                     u"详细的使用说明见附录。", u"这是一个简单的使用场景。"});
}

TEST_F(ShippedGrammarRules, AFifthReadersSlips) {
    expectFound({{u"他跑的这么急，一定有什么事。", "的→得 得/程度"},
                 {u"刀刃打磨的越锋利越好用。", "的→得 得/这么"},
                 {u"新版本的页面加载地很快。", "地→得 得/动词地很快"},
                 {u"如果屏幕锁定地太快，也会恼人。", "地→得 得/动词地程度"},
                 {u"他累地走不动了。", "地→得 得/状态补语地"},
                 {u"出发前请在三核对乘客名单。", "在→再 再/再三"},
                 {u"以后不要在轻信陌生人的电话。", "在→再 再/不要犯"},
                 {u"她高兴的一晚上都没睡着。", "的→得 得/状态一夜"}});
    // A verb before 这么 and a noun, and 在 before 三 and a place, keep what they have.
    expectLeftAlone(
        {u"他激动地说：“我们赢了！”", u"我们在三楼开会。", u"他慢慢地说不出话来了吗？"});
}

TEST_F(ShippedGrammarRules, RealWordsWrittenForRealWords) {
    expectFound({{u"点击此按钮可以清楚所有的浏览记录。", "清楚→清除 清除/缓存"},
                 {u"数据库的事物必须保证原子性。", "事物→事务 事务/数据库"},
                 {u"这个识别模型的经度还有待提高。", "经度→精度 精度/测量"},
                 {u"今年的销售形式比去年好得多。", "形式→形势 形势/当前"},
                 {u"转动旋钮可以调解火力的大小。", "调解→调节 调节/对象"},
                 {u"公司全体员工出息了这次表彰大会。", "出息→出席 出席/这次会议"},
                 {u"要起动这个服务，必须具有管理员权限。", "起动→启动 启动/服务"},
                 {u"如果没有受权，用户将无法访问。", "受权→授权 授权/未经"},
                 {u"请稍等片刻后从新尝试。", "从新→重新 重新/动词"},
                 {u"这段代码需要调式以后才能上线。", "调式→调试 调试/之后"},
                 {u"他用力拨出插在锁孔里的钥匙。", "拨出→拔出 拔出/钥匙"},
                 {u"孩子们在操场上打蓝球。", "蓝球→篮球 篮球/打"},
                 {u"他像丢了魂是的，一整天都不说话。", "是→似 似的/像"},
                 {u"她不加思索地回答了提问。", "不加思索→不假思索 不假思索"}});
    // The same words where they are right: a thing made clear, things in general, a place's
    // longitude, a form, a quarrel mediated, a child who made good, an engine, authority given to
    // an agency, a start from a new place, funds allotted and a lottery's blue ball.
    expectLeftAlone(
        {u"我说不清楚所有的细节。", u"新事物总会取代旧事物。", u"该岛位于东经一百二十度。",
         u"形式比内容更重要。", u"居委会出面调解邻里纠纷。", u"这孩子将来一定有出息。",
         u"发动机起动时声音很大。", u"新华社受权发布公告。", u"从新引用位置开始的区域。",
         u"政府拨出专款修建道路。", u"本期开出的蓝球是十二号。"});
}

TEST_F(ShippedGrammarRules, ASixthReadersSlips) {
    expectFound({{u"请收好您地护照和机票。", "地→的 的/代词地名词"},
                 {u"我们学校得操场很大。", "得→的 的/名词得名词模型"},
                 {u"孩子们安安静静得坐着。", "得→地 地/叠词得"},
                 {u"天色渐渐得暗了下来。", "得→地 地/叠词得"},
                 {u"这个问题解释的不够清楚。", "的→得 得/不够"},
                 {u"这起投诉处理的很及时。", "的→得 得/及时"},
                 {u"早晨冷的让人不想起床。", "的→得 得/让人不能"},
                 {u"他慌的连鞋都穿错了。", "的→得 得/连都"},
                 {u"爸爸被他气的直拍桌子。", "的→得 得/被状态"},
                 {u"昨晚我睡地特别香。", "地→得 得/动词地程度味"},
                 {u"你来地正好。", "地→得 得/动词地正好"},
                 {u"该地区近日在度出现强降雨。", "在→再 再/在度"},
                 {u"在过十分钟，列车就要进站了。", "在→再 再/在过"},
                 {u"失败了没关系，我们可以从头在来。", "在→再 再/从头"},
                 {u"该型号已不在提供保修服务。", "在→再 再/不在动词"},
                 {u"不管在怎么忙，他都会回家吃饭。", "在→再 再/不管"},
                 {u"我在补充一点。", "在→再 再/补充一点"},
                 {u"社区为下岗职工提供在就业培训。", "在→再 再/就业"},
                 {u"这些废纸可以制成在生纸。", "在生→再生 再/生"},
                 {u"再学习中遇到困难，要主动请教。", "再→在 在/中开头"},
                 {u"他现在不再办公室。", "不再→不在 在/不再地方"},
                 {u"再展会期间，会场提供无线网络。", "再→在 在/期间开头"},
                 {u"再节能环保方面，该公司走在前列。", "再→在 在/方面开头"},
                 {u"请重启路由器后在试。", "在→再 再/后试"},
                 {u"等雨停了我们在出发。", "在→再 再/等了谁"},
                 {u"此事等下次办公会议在议。", "在→再 再/以后议"},
                 {u"观众们不约而同的站起来鼓掌。", "的→地 地/情绪"},
                 {u"当前的经济形式依然严峻。", "形式→形势 形势/依然严峻"}});
    // A grandfather's 得 of an illness, 在 before 创纪录之后, 再过去 of going later, 不在 of a
    // place and 在 of a new season keep what they have.
    expectLeftAlone({u"你爷爷得的是肺炎。", u"在创纪录之后，公司又推出了新车。",
                     u"你先回去，我处理完这边的事再过去。", u"他已不在公司工作了。",
                     u"在就业方面，政府出台了新政策。", u"在一次检查中发现了问题。",
                     u"他现在不再年轻了。", u"孩子得了肺炎。", u"在过去的一年里，我们成长了很多。",
                     u"文章的形式依然新颖。", u"下次会议在北京讨论。"});
}

TEST_F(ShippedGrammarRules, RareWordsOfTheLexiconThatAreSlips) {
    expectFound({{u"您可以在首页流览最新的产品信息。", "流览→浏览 浏览"},
                 {u"他们一家人打算去海南渡假。", "渡假→度假 度假"},
                 {u"由于交接不清，遗误了最佳时机。", "遗→贻 贻误"},
                 {u"下单时可以使用优惠卷。", "优惠卷→优惠券 优惠券"},
                 {u"我一点冒口都没有。", "冒口→胃口 胃口"},
                 {u"还请大家多多包含。", "包含→包涵 包涵"},
                 {u"他赶紧抱着孩子去挂急症。", "急症→急诊 急诊"},
                 {u"切实维护社会次序。", "次序→秩序 秩序"},
                 {u"这是人类生存所必须的条件。", "必须→必需 必需"},
                 {u"他在病床上渡过了自己的三十岁生日。", "渡过→度过 度过/生日"},
                 {u"他向银行申请了一笔住房货款。", "货款→贷款 贷款/银行"}});
    // 包含 of what holds something, 急症 of an illness, 次序 of an order of things, 必须 before
    // what must be done and 其时 of a time long past stay.
    expectLeftAlone({u"该文件包含三个部分。", u"阑尾炎是一种急症。", u"请按次序排好。",
                     u"这是我们所必须做的。", u"其时天下大乱。"});
}

TEST_F(ShippedGrammarRules, ASeventhReadersSlips) {
    expectFound({{u"景区地门票可以在网上购买。", "地→的 的/名词地名词模型"},
                 {u"这是我们公司地年度发展规划。", "地→的 的/名词地名词模型"},
                 {u"各项工作落实的怎么样？", "的→得 得/怎么样"},
                 {u"大家听的津津有味。", "的→得 得/津津有味"},
                 {u"思远气的脸色发青。", "的→得 得/状态脸色"},
                 {u"汤要熬的浓一些。", "的→得 得/一些句末"},
                 {u"这件羽绒服穿起来暖和的很。", "的→得 得/很句末"},
                 {u"请你仔细得核对一下这份报价单。", "得→地 地/方式得模型"},
                 {u"价格不能在低了。", "在→再 再/不能低"},
                 {u"我们在开个会讨论一下。", "在→再 再/开个会"},
                 {u"错过了这班船，就得在等一个小时。", "在→再 再/得等"},
                 {u"类似的失误绝不能在发生。", "在→再 再/不能发生分开"},
                 {u"这个版本在改一改就可以定稿了。", "在→再 再/改一改"},
                 {u"这家店的菜太好吃了，下次一定在来。", "在→再 再/下次一定来"},
                 {u"请不要再公共场所大声喧哗。", "再→在 在/不要再场所"},
                 {u"客厅里挂着一副爷爷亲手画的山水画。", "副→幅 幅/画的"},
                 {u"请把这分合同复印三份。", "分→份 份/合同"},
                 {u"进入工地的人员必须带好安全帽。", "带好→戴好 戴/带好帽子"}});
    // 地 of a place in law, of a noun that makes an adverb, cut from 本地, and after one
    // character; 得 after a state before what it leads to.
    expectLeftAlone(
        {u"适用经常居所地法律。", u"系统会周期性地执行该命令。", u"把下列光标映射成本地光标。",
         u"他温情地碰触人类的伤痛。", u"黄地桥是一个小村子。", u"观众们激动得站了起来。",
         u"教室里顿时安静得能听见呼吸声。", u"他在仔细检查每一个零件。", u"他说的对。"});
}

TEST_F(ShippedGrammarRules, IdiomsOfMannerAndComplementsThatEndTheClause) {
    expectFound({{u"救援人员争分夺秒的搜寻着被困群众。", "的→地 地/成语"},
                 {u"他小心翼翼得把花瓶放回原处。", "得→地 地/成语得"},
                 {u"这款音箱的低音表现地非常出色。", "地→得 得/动词地程度动词"},
                 {u"山路陡地厉害，要抓紧扶手。", "地→得 得/动词地厉害"},
                 {u"他的胃疼的厉害。", "的→得 得/动词的厉害"},
                 {u"这座桥修地又宽又平。", "地→得 得/又又地"},
                 {u"那天的雪下地特别大。", "下地→下得 得/下地"},
                 {u"我永远忘不了那个温暖地冬夜。", "地→的 的/形容词地名词句末模型"},
                 {u"山脚下有一个宁静得小村庄。", "得→的 的/量词形容词得"},
                 {u"这是我见过得最美的风景。", "过得→过的 的/见过得"},
                 {u"你这个问题问的好。", "的→得 得/问的好"},
                 {u"他们忙地不可开交。", "地→得 得/动词地成语"},
                 {u"部分句子写的莫名其妙。", "的→得 得/动词的成语"},
                 {u"志愿者们热情得为过往行人指路。", "得→地 地/情绪得介词"}});
    // An idiom that describes a thing or a kind, 安全地 before a verb the lexicon reads as a noun,
    // 过得 of how one lives, and 地 of a field.
    expectLeftAlone({u"这是一场争分夺秒的比赛。", u"他是个小心翼翼的人。",
                     u"众所周知的是，地球是圆的。", u"请定期安全地备份数据。",
                     u"这名早产儿健康地出院了。", u"这几年他过得最开心。",
                     u"农民们一早就下地干活了。", u"他在大会上问的问题很好。"});
}

TEST_F(ShippedGrammarRules, ZaiBeforeAVerbThatTheModelReadsAsAgain) {
    expectFound({{u"这道菜太好吃了，老板，在来一份糖醋排骨！", "在→再 再/模型动词"},
                 {u"先把面粉和鸡蛋搅匀，在加入适量的牛奶。", "在→再 再/模型动词"},
                 {u"我不想在听你解释了。", "在→再 再/模型动词"},
                 {u"旧报纸可以回收在利用。", "在→再 再/通用"}});
    // 在 before a verb and a time, a case or a place that it frames.
    expectLeftAlone({u"我暗暗下定决心，以后再也不在上课的时候偷偷看漫画了。",
                     u"没有必要在犯错误的情况下冒丢失数据的风险。",
                     u"这个替换不在花括号和引号之间时发生。", u"这样在输入密码时就不会显示星号。",
                     u"他在吃饭，等一会儿再打给他。"});
}

TEST_F(ShippedGrammarRules, DoubledWordsUnitsAndWhatEndsInDe) {
    expectFound({{u"他气呼呼得向门外走去。", "得→地 地/叠词得介词"},
                 {u"桌上摆着一盘香喷喷得饺子。", "得→的 的/叠词得名词"},
                 {u"孩子一遍一遍得把课文读给妈妈听。", "得→地 地/数量叠得"},
                 {u"这是今年最重要得一次会议。", "得→的 的/最形容词得"},
                 {u"他说话像刀子似得。", "似得→似的 的/似得"},
                 {u"我真得不知道这件事。", "真得→真的 的/真得"},
                 {u"她弹的好极了。", "的→得 得/程度模型窄"},
                 {u"外面的风大的吓人。", "的→得 得/吓人"},
                 {u"你看的出来吗？", "的→得 得/可能补语出来"},
                 {u"经过激烈地争论，双方达成了一致。", "地→的 的/经过地"},
                 {u"感谢大家一直以来地支持。", "地→的 的/以来地"},
                 {u"这件衣服是浅蓝色地。", "地→的 的/颜色地"},
                 {u"屋里安静地连呼吸声都听得见。", "地→得 得/地连"},
                 {u"这道菜做地也特别好吃。", "地→得 得/动词地也程度"}});
    // A doubled word that names someone, 得 that must be done or had, and 通过 before a word
    // of manner.
    expectLeftAlone({u"你爷爷得的是肺炎。", u"他的手冷冰冰得像块冰。", u"我真得好好想想。",
                     u"我得赶紧走了。", u"他们有得吃有得穿。",
                     u"通过明确地给出字段名来覆盖默认值。", u"这块地是我家的。",
                     u"那里的土地是红色的。"});
}

TEST_F(ShippedGrammarRules, TheModelAloneJudgesAParticleNoRuleSpokeFor) {
    expectFound({{u"窗外地大树被风吹倒了。", "地→的 的/通用地"},
                 {u"屋里显地格外冷清。", "地→得 得/通用地程度"},
                 {u"游标得位置可以移动。", "得→的 的/通用得"},
                 {u"刚出锅得馒头很烫。", "得→的 的/通用得"},
                 {u"他们把这件事办地妥妥当当。", "地→得 得/通用地程度"},
                 {u"很多人错误的将它删除了。", "的→地 地/通用的"}});
    // 地 after a doubled word or an adverb, or before a verb, is an adverbial's.
    expectLeftAlone({u"花盘沉甸甸地低着头。", u"地址是惟一地标识计算机的数字。",
                     u"系统会相应地调整文件。", u"大家都在地里干活。", u"这片土地的主人是谁？",
                     u"您的收货地址填写得不完整。"});
}

TEST_F(ShippedGrammarRules, AWordForAWordOfTheSameSoundWhereTheModelReadsTheOther) {
    expectFound({{u"消费者有权力要求商家退货。", "权力→权利 权利/模型"},
                 {u"儿童用药要严格控制计量。", "计量→剂量 剂量/模型"},
                 {u"她每天出门前都要化装。", "化装→化妆 化妆/模型"},
                 {u"这款手表可以监测心律和睡眠。", "心律→心率 心率/模型"},
                 {u"这在一定程度上反应了市场的变化。", "反应→反映 反映/模型"},
                 {u"报名人数以超过五千人。", "以→已 已/模型单字"}});
    // Each word where it is the right one.
    expectLeftAlone({u"人民代表大会是国家权力机关。", u"演员们正在后台化装。", u"这是必需的步骤。",
                     u"计量单位要统一。", u"医生说他心律不齐。", u"他对这件事反应很快。",
                     u"他并不向你隐藏任何东西。", u"以上内容已经超过五千字。"});
}

TEST_F(ShippedGrammarRules, ZaiOfMoreAndOfThenInAdviceAndDirections) {
    expectFound({{u"不管学习在怎么紧张，也要锻炼身体。", "在→再 再/怎么"},
                 {u"如果在不改正错误，后果很严重。", "在→再 再/如果不动词"},
                 {u"汤要是在辣一点，我就喝不了了。", "在→再 再/一点"},
                 {u"在这样拖下去，问题只会更严重。", "在→再 再/这样做下去"},
                 {u"三天后在来换药。", "在→再 再/后动词列举"},
                 {u"推动经济发展在上新台阶。", "在→再 再/上台阶"},
                 {u"这事等开完会在说吧。", "在→再 再/说吧"}});
    // 在 of a place, a time or a state of things stays.
    expectLeftAlone({u"不管在怎样的环境中，他都很乐观。", u"如果在不同的地方，结果也不同。",
                     u"他在这样的条件下坚持了下来。", u"会后在会议室集合。", u"我在上海工作。",
                     u"这一点在说明书里写得很清楚。"});
}

TEST_F(ShippedGrammarRules, ZaiInWordsTheLexiconSplitsOrKnowsOtherwise) {
    expectFound({{u"她嘴上说不再意，心里却很难过。", "不再→不在 在/不在意"},
                 {u"再会上，王总做了部署。", "再会→在会 在/在会上"},
                 {u"全市再建重点项目达到一百个。", "再建→在建 在/在建"},
                 {u"期末考试再即，请家长督促孩子。", "再→在 在/在即"}});
    // 不再 before an idiom, 再会 of a farewell, 再建 of building again.
    expectLeftAlone({u"我不再意气用事了。", u"他说了声再会，然后走了。", u"地震后要再建家园。"});
}

TEST_F(ShippedGrammarRules, HowWellAndHowMuchAfterAVerb) {
    expectFound({{u"本次会议讨论得主要议题有三项。", "得→的 的/动词得名词"},
                 {u"请把步骤描述的更具体一些。", "的→得 得/程度模型宽"},
                 {u"他的病恢复地不错。", "地→得 得/不错"},
                 {u"小明急地直哭。", "地→得 得/状态直"}});
    // 得 of what one remembers or gets, and 的 before what it describes.
    expectLeftAlone({u"我记得这些事。", u"系统给出了更加详细的信息。", u"他跑得很快。",
                     u"帮助中有关此修改的更加详细的信息。"});
}

TEST_F(ShippedGrammarRules, ParticlesAfterAMeasureWordAVerbOfExperienceAndAComparison) {
    expectFound({{u"门外传来一阵急促地敲门声。", "地→的 的/量词修饰地"},
                 {u"这是我这些年见过得最大的雪。", "得→的 的/经历过得"},
                 {u"招聘得两名司机已经上岗。", "得→的 的/动词得数量"},
                 {u"比赛进行的极为激烈。", "的→得 得/异常"},
                 {u"客厅被她布置的漂漂亮亮。", "的→得 得/名词叠词"},
                 {u"新系统跑的比旧系统快多了。", "的→得 得/比"},
                 {u"这辆车坐的下七个人吗？", "的→得 得/容得下"},
                 {u"请大家有序的从后门离开。", "的→地 地/有序介词"}});
    // 地 of an adverbial and of the ground, 得 of a result, 的 of what is compared.
    expectLeftAlone({u"一个人慢慢地走回家。", u"一阵风轻轻地吹过。", u"那块地种满了玉米。",
                     u"他是我们班跑得最快的。", u"他写得一手好字。", u"他说得大家都笑了。",
                     u"这家店的东西比那家贵多了。"});
}

TEST_F(ShippedGrammarRules, VerbsOfOneCharacterAndAComplementAreVerbs) {
    // 跑到 and 洒在 are no words of jieba's lexicon; the rules must still see a verb after 的.
    expectFound({{u"孩子们蹦蹦跳跳的跑到操场上。", "的→地 地/叠词"},
                 {u"阳光静静的洒在湖面上。", "的→地 地/叠词"}});
}

TEST_F(ShippedGrammarRules, ZaiOfAgainAfterANegationOrWhatIsDone) {
    expectFound({{u"从明天起，本店不在提供免费停车。", "在→再 再/模型动词"},
                 {u"以后我不会在相信你了。", "在→再 再/否定动词分开"},
                 {u"如果在迟到，就扣分。", "在→再 再/如果动词"},
                 {u"吃完饭在看电视吧。", "在→再 再/完成后宾语"}});
    // 在 of what is going on, of a place and of a case.
    expectLeftAlone({u"当前服务不在运行。", u"这不在考虑范围之内。", u"他不在家。",
                     u"如果在使用中遇到问题，请联系我们。", u"他下午在开会。",
                     u"不要在开始和结束时按下按钮。"});
}

TEST_F(ShippedGrammarRules, LoginRecordsAndSeatsWhereThePhraseTellsWhichIsMeant) {
    expectFound({{u"请用手机号登陆。", "登陆→登录 登录/手机号"},
                 {u"扫描二维码登陆。", "登陆→登录 登录/凭据"},
                 {u"她打破了全国青年记录。", "记录→纪录 纪录/打破远"},
                 {u"这是新的世界记录。", "记录→纪录 纪录/世界"},
                 {u"请各位嘉宾按顺序就坐。", "就坐→就座 就座/句末"}});
    expectLeftAlone(
        {u"台风在福建登陆。", u"请保存好会议记录。", u"他就坐在门口。", u"我们保持联系。"});
}

TEST_F(ShippedGrammarRules, SetPhrasesOfMannerTakeDi) {
    expectFound({{u"他原封不动的把钱还了回去。", "的→地 地/成语"},
                 {u"奶奶不紧不慢的说起了往事。", "的→地 地/成语"},
                 {u"这件事给了我们很大的启事。", "启事→启示 启示/模型"}});
    // 得不到 after a time, a notice and what a book teaches.
    expectLeftAlone({u"用户会等很长时间得不到回应。", u"学校门口贴着一张招生启事。",
                     u"这本书给我的启示很多。"});
}

TEST_F(ShippedGrammarRules, SameSoundWordsThatTheWordsAroundThemTellApart) {
    expectFound({{u"演出门票以售罄，请关注下一场。", "以→已 已/以满"},
                 {u"我们做了三个小时的火车才到北京。", "做→坐 坐/乘车远"},
                 {u"我们要像优秀的同学学习。", "像→向 向/请教"},
                 {u"这孩子长得真向他妈妈。", "向→像 像/长得"},
                 {u"我已经在网上定好了机票。", "定好→订好 订/定好"},
                 {u"服药后如有过敏反映，请立即就医。", "反映→反应 反应/身体"},
                 {u"请点击短信中的连接完成注册。", "连接→链接 链接/点击"},
                 {u"请安时服用降压药。", "请安→请按 按时/请安时"}});
    // Learning the way someone does, a report, a network's connection, a plan made, a meal cooked.
    expectLeftAlone({u"我们要像他那样努力学习。", u"群众强烈反映了这个问题。",
                     u"服务器打开了新连接。", u"我们定了一个计划。", u"我做了一架飞机模型。",
                     u"妈妈做了一桌好菜才回家。", u"他向往常一样早起。"});
}

TEST_F(ShippedGrammarRules, ZaiOfPlaceAndTimeAndZaiOfMoreInHomelyAdvice) {
    expectFound({{u"再吃饭之前要洗手。", "再→在 在/句首动词时"},
                 {u"接种后需要再观察区休息。", "再→在 在/功能区"},
                 {u"宝宝再出牙期间容易哭闹。", "再→在 在/期间"},
                 {u"在贵的东西，也有坏的时候。", "在→再 再/句首好的"},
                 {u"签完字就别想在改了。", "在→再 再/想动词"},
                 {u"他伤好以后没能在回到赛场。", "在→再 再/没能"},
                 {u"他们没能在改变结果。", "在→再 再/没能"},
                 {u"这个方案需要在讨论讨论。", "在→再 再/叠词两词"},
                 {u"他一而在的犯同样的错误。", "在→再 再/一而再"}});
    // 再 of one more rise, 在 of what goes on, of a place, a case and a time past.
    expectLeftAlone({u"如果体温再超过三十九度，就去医院。", u"他在跑十公里。", u"我在等三个人。",
                     u"在好的环境中成长。", u"我们在过去的一年里取得了成绩。", u"他想在北京买房。",
                     u"你可以在网上查询。", u"明天在家休息。", u"再休息一下吧。",
                     u"保存再设置窗口里的内容。"});
}

TEST_F(ShippedGrammarRules, ComplementsAfterAVerbAndOneAfterAnother) {
    expectFound({{u"同学们一个接一个得跳进水里。", "得→地 地/一个接一个得"},
                 {u"大家一个接一个的走进教室。", "的→地 地/一个接一个的"},
                 {u"她唱地比谁都好。", "地→得 得/动词地比"},
                 {u"孩子哭地停不下来。", "地→得 得/动词地不能"},
                 {u"药水稀释地过多了。", "地→得 得/动词地太"},
                 {u"这次实验记录的不太详细。", "的→得 得/名动程度"},
                 {u"这款软件设计的不错。", "的→得 得/名动不错"},
                 {u"这批树苗栽的密了一些。", "的→得 得/动词一些"},
                 {u"排骨要炖的软烂一些。", "的→得 得/动词一些"}});
    // A state and its result, an adverbial, and 的 of what was made.
    expectLeftAlone({u"他高兴得跳了起来。", u"湖面平静得像一面镜子。", u"一个人慢慢地走。",
                     u"他设计的不是手机。", u"我们一个接一个地检查。"});
}

TEST_F(ShippedGrammarRules, RealWordsForRealWordsThatTheirNeighboursTellApart) {
    expectFound({{u"有问题可以向居委会反应。", "反应→反映 反映/向"},
                 {u"今天的雨下得利害。", "利害→厉害 厉害/得"},
                 {u"运动员要有良好的心里素质。", "心里→心理 心理/素质"},
                 {u"请用积分在官网对换优惠券。", "对换→兑换 兑换/积分隔"},
                 {u"先用滤纸过虑一遍。", "过虑→过滤 过滤/滤纸"},
                 {u"双方签定了合作协议。", "签定→签订 签订/合同"}});
    expectLeftAlone({u"他对药物的反应很强烈。", u"这件事牵涉到双方的利害关系。", u"你太过虑了。",
                     u"记者到现场报道了这件事。", u"我心里很难受。", u"两个人对换了座位。"});
}

TEST_F(ShippedGrammarRules, YouOfRespectIsAPronounLikeAnyOther) {
    // jieba does not tag 您 as a pronoun; the rules must still read a verb and its object.
    expectFound({{u"我们将认真的核查您提供的材料。", "的→地 地/状语"}});
    expectLeftAlone({u"请妥善保管您的身份证件。", u"这是您的房间。"});
}

}  // namespace
