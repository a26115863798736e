#pragma once
// The boxers of the match: three persons drawn from one jointed cartoon
// figure, posed frame by frame for their seven animations.
#include <cstdint>
#include <string>
#include <vector>

namespace boxing {

// Every boxer frame is kBoxerW x kBoxerH. The figure faces left (towards its
// opponent when drawn unmirrored on the right); its feet stand on row
// kBoxerFloor, centred on column kBoxerAnchor. The room behind the anchor
// takes a boxer falling on his back.
constexpr int kBoxerW = 430, kBoxerH = 270;
constexpr int kBoxerAnchor = 160, kBoxerFloor = 258;

enum class Head { Guard, Quiff, Cap };
enum class Chest { Star, Tie, Medals };

struct Person {
  const char* name;  // file prefix, as the configuration's section
  uint32_t skin, hair, shirt, shirtTrim, shorts, shortsTrim, gloves, shoes;
  double legScale;    // leg length factor
  double armScale;    // arm length factor
  double bulk;        // torso width factor
  double belly;       // forward bulge of the waist, pixels
  Head head;
  Chest chest;
};

const Person& person(int index);  // 0 drol, 1 vesk, 2 tarok
inline constexpr int kPersons = 3;

// One animation: its file name part ("stand", "walk1", ...) and its frames
// as RGBA of kBoxerW x kBoxerH.
struct Animation {
  std::string name;
  std::vector<std::vector<uint8_t>> frames;
};

// The seven animations of a person: stand, walk1, hit1, hit2, boom1,
// knockout1, knockout2.
std::vector<Animation> drawBoxer(const Person& p);

// Frames of the punches at which the glove is out furthest (the landing
// frames the configuration names).
inline constexpr int kHit1Land = 2, kHit2Land = 3;

}  // namespace boxing
