#pragma once
// What the compiler knows about each object family: the keys its reader
// reads, with their types (a key of the wrong type is ignored by the game, so
// a typo or a missing point in a fraction would silently fall back to the
// default), the sprite keys the compiler fills in, and the default look of
// the family's body.
#include <string>

namespace tbl {

enum KeyType { KT_INT = 0, KT_REAL = 1, KT_STRING = 2 };

struct FamilyKey {
  const char* name;  // may hold one "%d" (accel conditions 0..7)
  KeyType type;
};

struct FamilyInfo {
  const char* family;
  const FamilyKey* keys;
  int keyCount;
  // Sprite keys the compiler fills in with the files it draws (empty list:
  // none). Zona sprite keys name files without ".gsp" (the reader appends
  // ".gsp" and "back.gsp").
  const char* const* spriteKeys;
  int spriteKeyCount;
  const char* material;  // default look of the body
  double height;         // default body height, table units
};

// The family's entry, or null for a family without a reader.
const FamilyInfo* familyInfo(const std::string& family);
// The key's type for this family, or -1 when the family's reader does not
// read it.
int familyKeyType(const FamilyInfo* info, const std::string& key);

// Materials the bodies, surfaces and decorations may name.
struct MaterialInfo {
  const char* name;
  const char* role;     // palette role of its colour
  double specular;      // 0..1
  double shininess;
  double opacity;       // 1: opaque; less: blended over what is behind
  int see;              // transparency plane value when it is in front of the ball
  int texture;          // 1: the floor picture of the layer's surface
};
const MaterialInfo* materialInfo(const std::string& name);

}  // namespace tbl
