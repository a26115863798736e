#pragma once
// The score subjects the table objects and the rules score besides the
// bumpers and paired buttons (which are named by their places on the table):
// the lane and well groups 0..3, scored together, the flap rows and the
// Kremlin buttons with the endings the rules add.
#include <string>
#include <vector>

inline std::vector<std::string> groupScoredNames() {
  std::vector<std::string> names;
  for (int i = 0; i < 4; i++)
    for (const char* f : {"duma", "ukaz", "gp"})
      for (const char* ending : {"", ":on", ":pres"}) {
        // The decree lanes have no ":on" subject.
        if (std::string(f) == "ukaz" && std::string(ending) == ":on") continue;
        names.push_back(f + std::to_string(i) + ending);
      }
  for (const char* n : {"hflaps:pres", "mflaps:pres", "msel_button", "msel_button:pres", "msel_button:action",
                        "question_button", "question_button:pres", "question_button:action", "law_button",
                        "law_button:action", "ukazy_button", "ukazy_button:action"})
    names.push_back(n);
  return names;
}
