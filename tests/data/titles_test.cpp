// The title configurations of the built game folder (titles/*.conf and their
// binary twins), walked the way the title loader builds its page events:
// every title the rules start by name is defined, plays visible pages for a
// sane time and ends (or loops, for the background displays), its pages use
// only loaded fonts, known tags, loaded samples and the macros the rules set
// for it, and every file it names exists and loads.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "anim/title.h"
#include "core/conf.h"
#include "core/log.h"
#include "core/text.h"
#include "gfx/font.h"
#include "support/testutil.h"
#include "support/titletext.h"

namespace {

const std::string kGame = PB_GAME_DIR;
const std::string kTitles = kGame + "/titles";

const char* const kRegimes[] = {"comm", "demo", "dict"};

// Titles the rules start, with the macros the rules set before starting each
// (the score macro is kept up to date all game long and may be shown by any).
struct Started {
  std::string name;
  std::vector<std::string> macros;
  bool background;  // stays up until the rules end or replace it
};

std::vector<Started> startedTitles() {
  std::vector<Started> t = {
      // Session and table objects.
      {"ball_saved", {}, false},
      {"ball_lost", {}, false},
      {"last_ball", {}, false},
      {"balls_left", {"balls_left", "balls_plural"}, false},
      {"quorum_progress", {"quorum"}, false},
      {"prize", {"prize_text", "prize_value"}, false},
      {"pipes_t3", {}, false},
      {"pipes_t6", {}, false},
      {"reklama_in", {}, false},
      {"reklama_multiball", {}, false},
      {"reklama_payfor", {}, false},
      {"big_score", {"big_score"}, false},
      {"tv_gas_gas", {}, false},
      {"tv_gas_tv", {}, false},
      {"gp_progress", {"gp_hits"}, false},
      {"export", {"export_percent"}, false},
      {"xball", {}, false},
      {"trilights_can_shift", {}, false},
      // Ratings and crises.
      {"cpw_inc", {"cpw_name", "cpw_value"}, false},
      {"cpw_dec", {"cpw_name", "cpw_value"}, false},
      {"super_cpw", {"cpw_name"}, false},
      {"crisis", {"crisis_where", "crisis_name"}, false},
      // Missions.
      {"ms_select", {}, true},
      {"duma_begin", {}, false},
      {"duma_progress", {"duma_hits"}, false},
      {"duma_on", {}, false},
      {"zona_begin", {}, false},
      {"zona_on", {}, false},
      {"gp_begin", {}, false},
      {"gp_on", {}, false},
      {"bd_begin", {}, false},
      {"bd_on", {}, false},
      {"question_begin", {}, false},
      {"question_plus", {"question_text1", "question_text2", "question_cpw", "question_value"}, true},
      {"question_minus", {"question_text1", "question_text2", "question_cpw", "question_value"}, true},
      {"answer_yes", {}, false},
      {"answer_no", {}, false},
      {"bless_begin", {}, false},
      {"treason_begin", {}, false},
      {"treason_success", {}, false},
      {"riot_begin", {}, false},
      {"riot_success", {}, false},
      {"putch_begin", {}, false},
      {"putch_success", {}, false},
      {"putch_complete", {}, false},
      {"mission_aborted", {}, false},
      // Elections.
      {"pres_begin", {}, true},
      {"pres_progress", {"pres_time", "pres_quorum_text", "pres_quorum"}, true},
      {"pres_incomplete", {}, false},
      {"pres_complete",
       {"pres_complete_regime", "pres_complete_color1", "pres_complete_color2", "pres_complete_color3"},
       false},
      // Modes.
      {"mafia_crisis", {}, false},
      {"mafia_payoff", {"mafia_payoff"}, false},
      {"xb_lit", {}, false},
      {"dumavote_impeach", {}, false},
      {"subgame_avail", {}, false},
      {"dumavote_export", {}, false},
      {"export_collect", {"export_value"}, false},
      {"tax", {"tax_value"}, false},
      {"opponent", {}, false},
      {"amnesty", {}, false},
      {"steal", {"steal_value"}, false},
      {"prison", {}, false},
      // Bonus game results.
      {"boxing_win", {}, false},
      {"boxing_lose", {}, false},
      {"deputy_outcome", {"killed_big", "killed_small"}, false},
      {"oligarch_outcome", {"oligarch_score"}, false},
  };
  auto numbered = [&t](const char* format, int from, int to) {
    for (int i = from; i <= to; i++) {
      char name[64];
      std::snprintf(name, sizeof name, format, i);
      t.push_back({name, {}, false});
    }
  };
  numbered("law%d", 0, 3);             // numbered by the laws passed before
  numbered("ukazy%d", 0, 3);           // likewise the decrees
  numbered("dumavote%d", 0, 2);        // the vote's outcome
  numbered("bd_progress%d", 0, 1);     // the first two of three shots
  numbered("zona_progress%d", 0, 13);  // target / step - 2 while the target is below 16
  numbered("amen%d", 1, 6);            // the completions so far + 1, the count stops at 5
  numbered("mumra%d", 1, 6);
  for (const char* r : kRegimes) {
    t.push_back({std::string("vote_") + r, {"pres_votes"}, false});
    t.push_back({std::string("score_") + r, {}, true});
    t.push_back({std::string("gameover_") + r, {}, true});
  }
  return t;
}

// Tags of the page markup: a tag is one of these names, alone or followed by
// a space and its parameters.
const char* const kTags[] = {"left",      "right",         "center",        "hposp",        "hpos",      "top",
                             "bottom",    "vcenter",       "vposp",         "vpos",         "spr load",  "spr select",
                             "spr free",  "spr put",       "spr hspacing",  "spr vspacing", "font load", "font select",
                             "font free", "font hspacing", "font vspacing", "bgcolor",      "reset",     "begin"};

struct ConfFile {
  std::string name;  // without the extension
  ConfSet set{};
  ConfFile() = default;
  ConfFile(const ConfFile&) = delete;
  ConfFile& operator=(const ConfFile&) = delete;
  ~ConfFile() { conf_free(&set); }
};

// The title files as the game finds them: one per binary twin, the text file
// read (it wins over the twin when both exist).
std::vector<std::unique_ptr<ConfFile>> loadTitleFiles() {
  std::vector<std::unique_ptr<ConfFile>> files;
  std::set<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(kTitles))
    if (e.path().extension() == ".bcf") names.insert(e.path().stem().string());
  for (const std::string& n : names) {
    auto f = std::make_unique<ConfFile>();
    f->name = n;
    EXPECT_EQ(CONF_READ(&f->set, (kTitles + "/" + n + ".conf").c_str()), 0) << n;
    files.push_back(std::move(f));
  }
  return files;
}

// The loader takes every section but the set-up ones for a title; [samples]
// holds the sample list and shows nothing, so it is not counted as a message.
bool isTitleSection(const std::string& s) {
  return s != "begin" && s != "video" && s.rfind("video_", 0) != 0 && s != "samples";
}

std::vector<std::string> sections(ConfSet* set) {
  std::vector<std::string> out;
  for (const char* s = conf_firstsection(set, nullptr); s; s = conf_nextsection(set)) out.emplace_back(s);
  return out;
}

std::string fmt(const std::string& title, const char* key, int i = -1) {
  return i < 0 ? title + "." + key : title + "." + key + std::to_string(i);
}

// One step of a title as the loader builds it.
struct Step {
  std::string text;
  bool macro = false;
  std::string sample;  // empty: none
  int delay = -1;      // the delay after the page; not above 0: none
};

struct Title {
  std::vector<Step> steps;
  bool loops = false;
  int total = 0;  // milliseconds of one pass
};

Title walkTitle(ConfSet* s, const std::string& t) {
  Title out;
  std::string prefix = conf_getstr(s, fmt(t, "prefix").c_str(), conf_getstr(s, "prefix", ""));
  std::string suffix = conf_getstr(s, fmt(t, "suffix").c_str(), conf_getstr(s, "suffix", ""));
  int delay = conf_getint(s, fmt(t, "delay").c_str(), conf_getint(s, "delay", -1));
  for (int i = 0;; i++) {
    prefix = conf_getstr(s, fmt(t, "prefix", i).c_str(), prefix.c_str());
    suffix = conf_getstr(s, fmt(t, "suffix", i).c_str(), suffix.c_str());
    if (conf_getint(s, fmt(t, "loop", i).c_str(), 0) != 0) {
      out.loops = true;
      break;
    }
    Step step;
    if (const char* p = conf_getstr(s, fmt(t, "plot", i).c_str(), nullptr)) {
      step.text = prefix + p + suffix;
    } else if (const char* m = conf_getstr(s, fmt(t, "plotmac", i).c_str(), nullptr)) {
      step.text = m;
      step.macro = true;
    } else {
      break;
    }
    if (const char* sm = conf_getstr(s, fmt(t, "sample", i).c_str(), nullptr)) step.sample = prefix + sm + suffix;
    delay = conf_getint(s, fmt(t, "delay", i).c_str(), delay);
    step.delay = delay;
    if (delay > 0) out.total += delay;
    out.steps.push_back(step);
  }
  return out;
}

// What a page text asks of the display, read like the page plotter does.
struct PageUse {
  std::vector<std::string> faults;
  std::vector<std::string> fontsSelected;
  std::vector<std::string> macros;                            // $(name) references
  std::vector<std::pair<std::string, unsigned char>> glyphs;  // font, character
  int lines = 1;
};

PageUse readPage(const std::string& text, bool macro, std::string font) {
  PageUse use;
  for (size_t i = 0; i < text.size(); i++) {
    const char c = text[i];
    if (c == '\\' && i + 1 < text.size() && text[i + 1] == 'n') {
      use.lines++;
      i++;
    } else if (c == '{') {
      const size_t close = text.find('}', i);
      if (close == std::string::npos) {
        use.faults.push_back("no closing '}' in '" + text + "'");
        return use;
      }
      const std::string tag = text.substr(i + 1, close - i - 1);
      if (tag.find('{') != std::string::npos) use.faults.push_back("'{' inside the tag '" + tag + "'");
      const char* known = nullptr;
      for (const char* k : kTags) {
        const size_t n = std::strlen(k);
        if (tag.compare(0, n, k) == 0 && (tag.size() == n || tag[n] == ' ')) {
          known = k;
          break;
        }
      }
      if (!known) use.faults.push_back("unknown tag '{" + tag + "}'");
      if (known && std::strcmp(known, "font select") == 0) {
        font = tag.size() > 12 ? tag.substr(12) : "";
        use.fontsSelected.push_back(font);
      }
      if (known && std::strcmp(known, "reset") == 0 && i != 0)
        use.faults.push_back("{reset} in the middle of '" + text + "' drops what stands before it");
      i = close;
    } else if (c == '}') {
      use.faults.push_back("stray '}' in '" + text + "'");
    } else if (macro && c == '$' && text.compare(i, 2, "$(") == 0) {
      const size_t close = text.find(')', i);
      const std::string name = close == std::string::npos ? "" : text.substr(i + 2, close - i - 2);
      if (name.empty() || name.find(' ') != std::string::npos || name.size() >= 32) {
        use.faults.push_back("unreadable macro reference in '" + text + "'");
        return use;
      }
      use.macros.push_back(name);
      if (font.empty()) use.faults.push_back("$(" + name + ") shown before any font is selected");
      i = close;
    } else {
      if (!macro && c == '$' && text.compare(i, 2, "$(") == 0)
        use.faults.push_back("a macro in a plain page is shown as written: '" + text + "'");
      if (font.empty()) {
        use.faults.push_back(std::string("'") + c + "' shown before any font is selected in '" + text + "'");
        return use;
      }
      use.glyphs.emplace_back(font, static_cast<unsigned char>(c));
    }
  }
  return use;
}

struct TitleSet {
  std::vector<std::unique_ptr<ConfFile>> files;
  std::map<std::string, std::vector<std::string>> definedIn;  // title -> files
  std::map<std::string, std::string> fonts;                   // name -> file, from begin.exec
  std::map<std::string, std::string> samples;                 // mnemonic -> file
  std::vector<std::string> setupFaults;

  TitleSet() : files(loadTitleFiles()) {
    std::regex fontLoad(R"(\{font load ([^ }]+) ([^ }]+)\})");
    for (auto& f : files) {
      for (const std::string& s : sections(&f->set))
        if (isTitleSection(s)) definedIn[s].push_back(f->name);
      for (int i = 0;; i++) {
        const char* exec = conf_getstrf(&f->set, "begin.exec%d", nullptr, i);
        if (!exec) break;
        const std::string text = exec;
        for (std::sregex_iterator m(text.begin(), text.end(), fontLoad), end; m != end; ++m) {
          if (fonts.count((*m)[1])) setupFaults.push_back("font '" + (*m)[1].str() + "' loaded twice");
          fonts[(*m)[1]] = (*m)[2];
        }
        if (text.find('%') != std::string::npos) setupFaults.push_back("'%' in a set-up page: " + text);
      }
      for (int i = 0;; i++) {
        const char* load = conf_getstrf(&f->set, "samples.load%d", nullptr, i);
        if (!load) break;
        char mnemo[64] = "", file[256] = "";
        if (std::sscanf(load, "%63s %255s", mnemo, file) != 2) {
          setupFaults.push_back(std::string("unreadable sample line '") + load + "'");
          continue;
        }
        if (samples.count(mnemo)) setupFaults.push_back(std::string("sample '") + mnemo + "' loaded twice");
        samples[mnemo] = file;
      }
    }
  }
  ConfSet* fileOf(const std::string& title) {
    for (auto& f : files)
      if (f->name == definedIn.at(title).front()) return &f->set;
    return nullptr;
  }
};

TEST(TitleFiles, EveryTitleTheGameStartsIsDefinedOnceAndNothingElse) {
  logReset();
  TitleSet ts;
  ASSERT_FALSE(ts.files.empty()) << "no titles/*.bcf in " << kTitles;
  std::set<std::string> started;
  for (const Started& s : startedTitles()) {
    started.insert(s.name);
    auto it = ts.definedIn.find(s.name);
    if (it == ts.definedIn.end()) {
      ADD_FAILURE() << "title '" << s.name << "' is started by the game but defined nowhere";
      continue;
    }
    EXPECT_EQ(it->second.size(), 1u) << "title '" << s.name << "' is defined in more than one file";
  }
  for (const auto& [name, where] : ts.definedIn)
    EXPECT_TRUE(started.count(name)) << "title '" << name << "' (" << where.front() << ".conf) is never started";
  for (const std::string& f : ts.setupFaults) ADD_FAILURE() << f;
}

TEST(TitleFiles, EveryFileHasAnUpToDateBinaryTwin) {
  for (const auto& e : std::filesystem::directory_iterator(kTitles)) {
    if (e.path().extension() != ".conf") continue;
    SCOPED_TRACE(e.path().filename().string());
    ConfSet text{}, bin{};
    ASSERT_EQ(CONF_READ(&text, e.path().c_str()), 0);
    std::filesystem::path twin = e.path();
    twin.replace_extension(".bcf");
    ASSERT_EQ(CONF_BINREAD(&bin, twin.c_str()), 0);
    const ConfVar *a = text.first, *b = bin.first;
    for (; a && b; a = a->next, b = b->next) {
      ASSERT_STREQ(a->name, b->name);
      ASSERT_EQ(a->type, b->type) << a->name;
      if (a->type == CONF_STRING) {
        EXPECT_STREQ(a->value.s, b->value.s) << a->name;
      }
      if (a->type == CONF_INT) {
        EXPECT_EQ(a->value.i, b->value.i) << a->name;
      }
    }
    EXPECT_TRUE(!a && !b) << "the twin holds " << (a ? "fewer" : "more") << " keys than the text";
    conf_free(&text);
    conf_free(&bin);
  }
}

// A key of the wrong type or a misspelt key is silently ignored by the loader.
TEST(TitleFiles, EveryKeyOfATitleIsOneTheLoaderReadsWithItsType) {
  TitleSet ts;
  const std::regex intKey(R"((delay|unplot|volume|panning)\d*|loop\d+)");
  const std::regex strKey(R"((plot|plotmac|sample)\d+|(prefix|suffix|clear)\d*|begin|end)");
  for (auto& f : ts.files) {
    for (const ConfVar* v = f->set.first; v; v = v->next) {
      const std::string full = v->name;
      const size_t dot = full.find('.');
      const std::string section = dot == std::string::npos ? "" : full.substr(0, dot);
      const std::string key = dot == std::string::npos ? full : full.substr(dot + 1);
      if (section == "begin") {
        EXPECT_TRUE(std::regex_match(key, std::regex(R"(exec\d+)")) && v->type == CONF_STRING)
            << f->name << ": " << full;
      } else if (section == "samples") {
        EXPECT_TRUE(std::regex_match(key, std::regex(R"(load\d+)")) && v->type == CONF_STRING)
            << f->name << ": " << full;
      } else if (std::regex_match(key, intKey)) {
        EXPECT_EQ(v->type, CONF_INT) << f->name << ": " << full << " must be an integer";
      } else if (std::regex_match(key, strKey)) {
        EXPECT_EQ(v->type, CONF_STRING) << f->name << ": " << full << " must be a quoted string";
      } else {
        ADD_FAILURE() << f->name << ": " << full << " is not a key of a title";
      }
    }
  }
}

// Foreground titles end on their own in a few seconds (the rules wait for the
// end); background displays loop, with time passing in every pass.
TEST(TitlePages, EveryTitleShowsItsPagesForASaneTimeAndEndsOrLoops) {
  TitleSet ts;
  for (const Started& s : startedTitles()) {
    if (!ts.definedIn.count(s.name)) continue;  // reported above
    SCOPED_TRACE(s.name);
    const Title t = walkTitle(ts.fileOf(s.name), s.name);
    ASSERT_FALSE(t.steps.empty()) << "no page 0: the title would not start";
    EXPECT_EQ(t.loops, s.background) << (s.background ? "a background display must loop"
                                                      : "a message must end, the rules go on at its end");
    for (size_t i = 0; i < t.steps.size(); i++) {
      EXPECT_GE(t.steps[i].delay, 80) << "page " << i << " would flash by (or show for no time)";
      EXPECT_LE(t.steps[i].delay, 4000) << "page " << i;
      // A background display may stay up for minutes: a sound in it would
      // repeat on every pass.
      if (s.background) {
        EXPECT_EQ(t.steps[i].sample, "") << "page " << i;
      }
    }
    if (!s.background) {
      EXPECT_GE(t.total, 600);
      EXPECT_LE(t.total, 5000) << "a message holding up the rules this long";
    }
  }
}

// Every page shows something in a loaded font, uses known markup, only the
// macros the rules set for its title, and loaded samples.
TEST(TitlePages, PagesUseLoadedFontsKnownTagsSetMacrosAndLoadedSamples) {
  TitleSet ts;
  ASSERT_FALSE(ts.fonts.empty()) << "no font is loaded by any title file";
  // The fonts, loaded from the titles folder as the loader's set-up pages do.
  std::map<std::string, Font*> fonts;
  for (const auto& [name, file] : ts.fonts) {
    const std::string path = kTitles + "/" + file;
    fonts[name] = pathExists(path) ? FNT_CREATE_FLAGS(path.c_str(), name.c_str(), SPR_LOAD_RAW) : nullptr;
    EXPECT_NE(fonts[name], nullptr) << "font '" << name << "' from " << path;
  }
  for (const Started& s : startedTitles()) {
    if (!ts.definedIn.count(s.name)) continue;
    SCOPED_TRACE(s.name);
    const Title t = walkTitle(ts.fileOf(s.name), s.name);
    std::set<std::string> allowed(s.macros.begin(), s.macros.end());
    allowed.insert("score");
    int visible = 0;
    for (size_t i = 0; i < t.steps.size(); i++) {
      const Step& st = t.steps[i];
      SCOPED_TRACE("page " + std::to_string(i) + ": " + cp1251ToUtf8(st.text));
      // Every page clears the display first, so none relies on an earlier font.
      const PageUse use = readPage(st.text, st.macro, "");
      for (const std::string& f : use.faults) ADD_FAILURE() << f;
      for (const std::string& f : use.fontsSelected) EXPECT_TRUE(ts.fonts.count(f)) << "font '" << f << "' not loaded";
      for (const std::string& m : use.macros)
        EXPECT_TRUE(allowed.count(m)) << "$(" << m << ") is not set for this title";
      if (st.macro) {
        EXPECT_FALSE(use.macros.empty()) << "a macro page without macros";
      }
      for (const auto& [font, c] : use.glyphs) {
        auto it = fonts.find(font);
        if (it == fonts.end() || !it->second) continue;
        EXPECT_LT(it->second->map[c], it->second->chars->numfrms)
            << "'" << cp1251ToUtf8(std::string(1, static_cast<char>(c))) << "' has no glyph in '" << font << "'";
      }
      if (!use.glyphs.empty() || !use.macros.empty()) visible++;
      EXPECT_LE(use.lines, 3) << "more lines than the display holds";
      if (!st.sample.empty()) {
        EXPECT_TRUE(ts.samples.count(st.sample)) << "sample '" << st.sample << "' not loaded";
      }
    }
    EXPECT_GT(visible, 0) << "the title shows nothing";
  }
  for (auto& [name, f] : fonts)
    if (f) FNT_FREE(f);
  logReset();
}

// What the rules put into the macros the pages show: the words they choose
// (every form), numbers at their longest and the two pages of every
// question. The display shows them in Windows-1251, like every player text.
const std::map<std::string, std::vector<std::string>>& macroValues() {
  static const std::map<std::string, std::vector<std::string>> values = [] {
    const std::string money = "999.999.999";  // a score or a reward, grouped by dots
    const std::map<std::string, std::vector<std::string>> utf8 = {
        {"score", {money}},
        {"big_score", {money}},
        {"prize_value", {money}},
        {"mafia_payoff", {money}},
        {"export_value", {money}},
        {"steal_value", {money}},
        {"oligarch_score", {money}},
        {"balls_left", {"1", "10"}},
        {"balls_plural", {"ШАР", "ШАРА", "ШАРОВ"}},
        {"quorum", {"100%"}},
        {"prize_text", {"ПРЕМИЯ ДУМЫ", "ПРЕЗИДЕНТСКАЯ\\nПРЕМИЯ", "МАЛАЯ ПРЕМИЯ"}},
        {"gp_hits", {"1\\nСКВАЖИНА!", "4\\nСКВАЖИНЫ", "6\\nСКВАЖИН"}},
        {"duma_hits", {"1\\nФРАКЦИЯ!", "4\\nФРАКЦИИ", "99\\nФРАКЦИЙ"}},
        {"export_percent", {"100"}},
        {"tax_value", {"999"}},
        {"cpw_name", {"ХАРИЗМА", "ВЛАСТЬ", "БОГАТСТВО"}},
        {"cpw_value", {"10"}},
        {"crisis_name", {"ИЗМЕНА", "БУНТ", "АВАРИЯ", "ПУТЧ"}},
        {"crisis_where", {"ДУМЕ", "ЗОНЕ", "ГАЗПРОМЕ", "БЕЛОМ ДОМЕ"}},
        {"question_cpw", {"харизма", "власть", "богатство"}},
        {"question_value", {"10"}},
        {"pres_time", {"59:59"}},
        {"pres_quorum_text", {"МИНИМУМ ГОЛОСОВ:", ""}},
        {"pres_quorum", {"999", ""}},
        {"pres_votes", {"999"}},
        {"pres_complete_regime", {"КОММУНИЗМ", "ДЕМОКРАТИЮ", "ДИКТАТУРУ"}},
        {"killed_big", {"99"}},
        {"killed_small", {"99"}},
    };
    std::map<std::string, std::vector<std::string>> cp;
    for (const auto& [name, list] : utf8)
      for (const std::string& v : list) cp[name].push_back(utf8ToCp1251(v));
    // The question mission shows a question's lines 0-1, then 2-3; the
    // built question file is in Windows-1251 already.
    ConfSet questions{};
    if (CONF_READ(&questions, (kGame + "/conf/question.conf").c_str()) == 0) {
      for (int i = 0;; i++) {
        const char* text = conf_getstrf(&questions, "q%d.text", nullptr, i);
        if (!text) break;
        char page[TITLE_MACRO_VALUE];
        cp["question_text1"].push_back(titleLines(text, 0, 2, page, sizeof page));
        cp["question_text2"].push_back(titleLines(text, 2, 2, page, sizeof page));
      }
    }
    conf_free(&questions);
    return cp;
  }();
  return values;
}

// Every way a page can read once its macros are filled in.
std::vector<std::string> fillMacros(const std::string& text, std::vector<std::string>* unknown) {
  std::vector<std::string> out = {""};
  size_t at = 0;
  while (at < text.size()) {
    const size_t open = text.find("$(", at), close = open == std::string::npos ? open : text.find(')', open);
    if (close == std::string::npos) break;
    for (std::string& o : out) o += text.substr(at, open - at);
    const std::string name = text.substr(open + 2, close - open - 2);
    at = close + 1;
    auto it = macroValues().find(name);
    if (it == macroValues().end()) {
      unknown->push_back(name);
      continue;
    }
    std::vector<std::string> grown;
    for (const std::string& o : out)
      for (const std::string& v : it->second) grown.push_back(o + v);
    out = grown;
  }
  for (std::string& o : out) o += text.substr(at);
  return out;
}

// The display is about 400 pixels wide: a line that runs past it is cut off
// at both sides once centred.
TEST(TitlePages, EveryLineFitsTheDisplayInItsFont) {
  constexpr int kMaxWidth = 420;
  TitleSet ts;
  std::map<std::string, Font*> fonts;
  for (const auto& [name, file] : ts.fonts) {
    const std::string path = kTitles + "/" + file;
    Font* f = pathExists(path) ? FNT_CREATE_FLAGS(path.c_str(), name.c_str(), SPR_LOAD_RAW) : nullptr;
    ASSERT_NE(f, nullptr) << "font '" << name << "' from " << path;
    fonts[name] = f;
  }
  for (const auto& [title, where] : ts.definedIn) {
    const Title t = walkTitle(ts.fileOf(title), title);
    for (size_t i = 0; i < t.steps.size(); i++) {
      const Step& st = t.steps[i];
      std::vector<std::string> unknown;
      const std::vector<std::string> pages = st.macro ? fillMacros(st.text, &unknown) : std::vector{st.text};
      for (const std::string& u : unknown)
        ADD_FAILURE() << title << " page " << i << ": no sample value of $(" << u << ") to measure";
      std::set<std::string> tooWide;  // each line once, whatever the other macros show
      for (const std::string& page : pages)
        for (const auto& [width, line] : titletext::lineWidths(page, fonts))
          if (width > kMaxWidth && tooWide.insert(line).second)
            ADD_FAILURE() << where.front() << ".conf [" << title << "] page " << i << ": '" << cp1251ToUtf8(line)
                          << "' is " << width << " pixels wide (at most " << kMaxWidth << ")";
    }
  }
  for (auto& [name, f] : fonts) FNT_FREE(f);
  logReset();
}

TEST(TitleFiles, EverySampleFileExists) {
  TitleSet ts;
  for (const auto& [mnemo, file] : ts.samples)
    EXPECT_TRUE(pathExists(kTitles + "/" + file)) << "sample '" << mnemo << "': " << kTitles << "/" << file;
}

}  // namespace
