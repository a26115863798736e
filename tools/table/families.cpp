#include "table/families.h"

#include <cstdio>
#include <cstring>

namespace tbl {

namespace {

#define KEYS(name) constexpr FamilyKey name[] =
#define COMMON {"lmask", KT_INT}, {"name", KT_STRING}, {"family", KT_STRING}, {"class", KT_STRING}

KEYS(kWall){COMMON, {"k", KT_REAL}};
KEYS(kBumper){COMMON,           {"sprite", KT_STRING},    {"logic", KT_STRING},   {"place", KT_INT},
              {"k", KT_REAL},   {"min_attack", KT_REAL},  {"max_attack", KT_REAL}, {"heat_delay", KT_INT},
              {"cool_delay", KT_INT}};
KEYS(kTriangle){COMMON,          {"sprite", KT_STRING}, {"right", KT_INT}, {"delay", KT_INT},
                {"minvelo", KT_REAL}, {"attack", KT_REAL},  {"k", KT_REAL}};
KEYS(kDropper){COMMON, {"debug", KT_INT}, {"minvelo", KT_REAL}, {"layer_from", KT_INT}, {"layer_to", KT_INT}};
KEYS(kSpring){COMMON,
              {"sprite", KT_STRING},
              {"debug", KT_INT},
              {"length", KT_REAL},
              {"fwdaccel", KT_REAL},
              {"backvelo", KT_REAL},
              {"minvelo", KT_REAL},
              {"minpushvelo", KT_REAL},
              {"k", KT_REAL}};
KEYS(kSaver){COMMON,
             {"place", KT_INT},
             {"sprite", KT_STRING},
             {"minvelo", KT_REAL},
             {"attack_x", KT_REAL},
             {"attack_y", KT_REAL},
             {"up_framestep", KT_INT},
             {"up_delay", KT_INT},
             {"down_delay", KT_INT},
             {"k", KT_REAL}};
KEYS(kSpinner){COMMON,
               {"sprite", KT_STRING},
               {"debug", KT_INT},
               {"place", KT_INT},
               {"rotate_k", KT_REAL},
               {"friction", KT_REAL},
               {"minvelo", KT_REAL}};
KEYS(kAccel){COMMON,
             {"kx", KT_REAL},
             {"ky", KT_REAL},
             {"angle", KT_REAL},
             {"length", KT_REAL},
             {"dx", KT_REAL},
             {"dy", KT_REAL},
             {"track_kvelo", KT_REAL},
             {"track_dvelo", KT_REAL},
             {"track_brake", KT_REAL},
             {"track_pull", KT_REAL},
             {"debug", KT_INT},
             {"disabled", KT_INT},
             {"cond%d", KT_STRING},
             {"cond%d_kx", KT_REAL},
             {"cond%d_ky", KT_REAL},
             {"cond%d_angle", KT_REAL},
             {"cond%d_length", KT_REAL},
             {"cond%d_dx", KT_REAL},
             {"cond%d_dy", KT_REAL},
             {"cond%d_track_kvelo", KT_REAL},
             {"cond%d_track_dvelo", KT_REAL},
             {"cond%d_track_brake", KT_REAL},
             {"cond%d_track_pull", KT_REAL},
             {"cond%d_debug", KT_INT}};
KEYS(kAccel2){COMMON,
              {"angle", KT_REAL},
              {"dvelo", KT_REAL},
              {"kvelo", KT_REAL},
              {"debug", KT_INT},
              {"thresh_low", KT_REAL},
              {"thresh_lt_d", KT_REAL},
              {"thresh_lt_k", KT_REAL},
              {"thresh_high", KT_REAL},
              {"thresh_gt_d", KT_REAL},
              {"thresh_gt_k", KT_REAL},
              {"disabled", KT_INT}};
KEYS(kFlipper){COMMON, {"right", KT_INT}, {"k", KT_REAL}, {"kav", KT_REAL}};
KEYS(kCflipper){COMMON,
                {"place", KT_INT},
                {"sprite", KT_STRING},
                {"min_angle", KT_REAL},
                {"max_angle", KT_REAL},
                {"spr_min_angle", KT_REAL},
                {"spr_max_angle", KT_REAL},
                {"angle_add", KT_REAL},
                {"phases", KT_INT},
                {"boost", KT_REAL},
                {"spr_angle", KT_REAL},
                {"right", KT_INT},
                {"k", KT_REAL},
                {"kav", KT_REAL},
                {"radius1", KT_REAL},
                {"radius2", KT_REAL},
                {"length", KT_REAL}};
KEYS(kGate){COMMON,
            {"debug", KT_INT},
            {"disabled", KT_INT},
            {"left_layer", KT_INT},
            {"right_layer", KT_INT},
            {"left_vb_layer", KT_INT},
            {"right_vb_layer", KT_INT},
            {"left_noaccel", KT_INT},
            {"right_noaccel", KT_INT},
            {"left_maxvelo", KT_REAL},
            {"right_maxvelo", KT_REAL},
            {"left_brake", KT_REAL},
            {"right_brake", KT_REAL},
            {"left_pull", KT_REAL},
            {"right_pull", KT_REAL},
            {"left_notrack", KT_INT},
            {"right_notrack", KT_INT},
            {"left_kill", KT_INT},
            {"right_kill", KT_INT},
            {"left_size", KT_REAL},
            {"right_size", KT_REAL},
            {"hit_noaccel", KT_INT},
            {"unhit_noaccel", KT_INT},
            {"hit_noair", KT_INT},
            {"unhit_noair", KT_INT},
            {"left_track", KT_STRING},
            {"right_track", KT_STRING},
            {"left_trackpos", KT_REAL},
            {"right_trackpos", KT_REAL},
            {"left_nproc", KT_STRING},
            {"right_nproc", KT_STRING}};
KEYS(kGate2){COMMON,
             {"debug", KT_INT},
             {"disabled", KT_INT},
             {"lhit_noaccel", KT_INT},
             {"lhit_notrack", KT_INT},
             {"lhit_track", KT_STRING},
             {"lhit_trackpos", KT_REAL},
             {"rhit_noaccel", KT_INT},
             {"rhit_notrack", KT_INT},
             {"rhit_track", KT_STRING},
             {"rhit_trackpos", KT_REAL},
             {"lunhit_noaccel", KT_INT},
             {"lunhit_notrack", KT_INT},
             {"lunhit_track", KT_STRING},
             {"lunhit_trackpos", KT_REAL},
             {"runhit_noaccel", KT_INT},
             {"runhit_notrack", KT_INT},
             {"runhit_track", KT_STRING},
             {"runhit_trackpos", KT_REAL}};
KEYS(kPortal){COMMON,
              {"debug", KT_INT},
              {"disabled", KT_INT},
              {"left_hit_control", KT_STRING},
              {"right_hit_control", KT_STRING},
              {"left_unhit_control", KT_STRING},
              {"right_unhit_control", KT_STRING},
              {"left_hit", KT_STRING},
              {"right_hit", KT_STRING},
              {"left_unhit", KT_STRING},
              {"right_unhit", KT_STRING}};
KEYS(kBlocker){COMMON,           {"place", KT_INT}, {"sprite", KT_STRING}, {"up_delay", KT_INT},
               {"down_delay", KT_INT}, {"k", KT_REAL}};
KEYS(kTunnel){COMMON, {"debug", KT_INT}, {"place", KT_INT}};
KEYS(kSprdoor){COMMON, {"sprite", KT_STRING}, {"k", KT_REAL}};
KEYS(kMpoint){COMMON, {"place", KT_INT}};
KEYS(kMavz){COMMON, {"k", KT_REAL}};
KEYS(kZona){COMMON,
            {"track", KT_STRING},
            {"up1_sprite", KT_STRING},
            {"up2_sprite", KT_STRING},
            {"up3_sprite", KT_STRING},
            {"down1_sprite", KT_STRING},
            {"down2_sprite", KT_STRING},
            {"up1_delay", KT_INT},
            {"up2_delay", KT_INT},
            {"up3_delay", KT_INT},
            {"down1_delay", KT_INT},
            {"down2_delay", KT_INT},
            {"ball_layer", KT_INT},
            {"minvelo", KT_REAL},
            {"mindist", KT_REAL},
            {"friction", KT_REAL},
            {"gravity", KT_REAL},
            {"trackpos", KT_REAL},
            {"trackvelo", KT_REAL},
            {"trackendpos", KT_REAL},
            {"up_x", KT_REAL},
            {"up_y", KT_REAL},
            {"down_x", KT_REAL},
            {"down_y", KT_REAL},
            {"release_x", KT_REAL},
            {"release_y", KT_REAL},
            {"release_angle", KT_REAL},
            {"release_length", KT_REAL},
            {"disabled", KT_INT}};
KEYS(kOstlift){COMMON,
               {"delay", KT_INT},
               {"ball_frames", KT_INT},
               {"ball_mindist", KT_REAL},
               {"active_timeout", KT_INT},
               {"release_x", KT_REAL},
               {"release_y", KT_REAL},
               {"release_angle", KT_REAL},
               {"release_length", KT_REAL},
               {"release_hm_delta", KT_REAL},
               {"shoot_wait_cycles", KT_INT},
               {"sprite_up", KT_STRING},
               {"sprite_down", KT_STRING},
               {"sprite_drum", KT_STRING},
               {"k", KT_REAL},
               {"disabled", KT_INT}};
KEYS(kButton){COMMON,
              {"heat_sprite", KT_STRING},
              {"cool_sprite", KT_STRING},
              {"heat_delay", KT_INT},
              {"cool_delay", KT_INT},
              {"gocool_delay", KT_INT},
              {"logic", KT_STRING},
              {"k", KT_REAL}};
KEYS(kPairButton){COMMON,
                  {"heat_sprite", KT_STRING},
                  {"cool_sprite", KT_STRING},
                  {"heat_delay", KT_INT},
                  {"cool_delay", KT_INT},
                  {"gocool_delay", KT_INT},
                  {"jitter_delay", KT_INT},
                  {"place", KT_INT},
                  {"k", KT_REAL}};
KEYS(kGasbtn){COMMON,          {"place", KT_INT},     {"sprite", KT_STRING}, {"heat_delay", KT_INT},
              {"cool_delay", KT_INT}, {"gocool_delay", KT_INT}, {"k", KT_REAL}};
KEYS(kLaneGate){COMMON, {"place", KT_INT}};
KEYS(kFlap){COMMON, {"place", KT_INT}, {"sprite", KT_STRING}, {"up_delay", KT_INT}, {"down_delay", KT_INT},
            {"k", KT_REAL}};
KEYS(kTrilights){COMMON, {"place", KT_INT}, {"action_delay", KT_INT}, {"k", KT_REAL}};

constexpr const char* kSprite[] = {"sprite"};
constexpr const char* kHeatCool[] = {"heat_sprite", "cool_sprite"};
constexpr const char* kZonaSprites[] = {"up1_sprite", "up2_sprite", "up3_sprite", "down1_sprite", "down2_sprite"};
constexpr const char* kOstSprites[] = {"sprite_up", "sprite_down", "sprite_drum"};

#define N(a) static_cast<int>(sizeof(a) / sizeof((a)[0]))
#define FAM(name, keys, sprites, material, height) \
  {name, keys, N(keys), sprites, sprites ? N(sprites) : 0, material, height}
#define FAM0(name, keys, material, height) {name, keys, N(keys), nullptr, 0, material, height}

const FamilyInfo kFamilies[] = {
    FAM0("wall", kWall, "rail", 9),
    FAM("bumper", kBumper, kSprite, "bumper", 16),
    FAM("triangle", kTriangle, kSprite, "rubber", 12),
    FAM0("dropper", kDropper, "none", 0),
    FAM("spring", kSpring, kSprite, "metal", 8),
    FAM("saver", kSaver, kSprite, "metal", 6),
    FAM("spinner", kSpinner, kSprite, "metal", 14),
    FAM0("accel", kAccel, "none", 0),
    FAM0("accel2", kAccel2, "none", 0),
    FAM0("flipper", kFlipper, "none", 8),
    FAM("cflipper", kCflipper, kSprite, "flipper", 8),
    FAM0("gate", kGate, "none", 0),
    FAM0("gate2", kGate2, "none", 0),
    FAM0("portal", kPortal, "none", 0),
    FAM("blocker", kBlocker, kSprite, "post", 12),
    FAM0("tunnel", kTunnel, "none", 0),
    FAM("sprdoor", kSprdoor, kSprite, "metal", 10),
    FAM0("mpoint", kMpoint, "none", 0),
    FAM0("mavz", kMavz, "target", 8),
    FAM("zona", kZona, kZonaSprites, "none", 0),
    FAM("ostlift", kOstlift, kOstSprites, "none", 0),
    FAM("button", kButton, kHeatCool, "target", 10),
    FAM("spiralbtn", kButton, kHeatCool, "target", 10),
    FAM("ostbtn", kPairButton, kHeatCool, "target", 10),
    FAM("zonabtn", kPairButton, kHeatCool, "target", 10),
    FAM("gasbtn", kGasbtn, kSprite, "target", 10),
    FAM0("dumagate", kLaneGate, "none", 0),
    FAM0("kremgate", kLaneGate, "none", 0),
    FAM("hflap", kFlap, kSprite, "target", 10),
    FAM("mflap", kFlap, kSprite, "target", 10),
    FAM0("trilights", kTrilights, "target", 10),
};

// Colour roles come from the palettes of the description.
constexpr MaterialInfo kMaterials[] = {
    {"floor", "floor", 0.10, 12, 1.0, 255, 1},   {"rail", "rail", 0.55, 30, 1.0, 255, 0},
    {"metal", "metal", 0.70, 40, 1.0, 255, 0},   {"rubber", "rubber", 0.15, 8, 1.0, 255, 0},
    {"wood", "wood", 0.20, 10, 1.0, 255, 0},     {"post", "post", 0.45, 24, 1.0, 255, 0},
    {"bumper", "bumper", 0.50, 30, 1.0, 255, 0}, {"target", "target", 0.45, 24, 1.0, 255, 0},
    {"flipper", "flipper", 0.35, 20, 1.0, 255, 0},
    {"plastic", "plastic", 0.60, 50, 0.55, 150, 0},
    {"wire", "metal", 0.80, 60, 1.0, 200, 0},    {"building", "building", 0.15, 10, 1.0, 0, 0},
    {"roof", "roof", 0.30, 16, 1.0, 0, 0},       {"gold", "gold", 0.80, 40, 1.0, 0, 0},
    {"glass", "glass", 0.90, 60, 0.45, 170, 0},  {"dark", "dark", 0.20, 10, 1.0, 0, 0},
    {"cabinet", "cabinet", 0.25, 14, 1.0, 0, 0}, {"apron", "apron", 0.35, 20, 1.0, 0, 0},
    {"none", "", 0, 1, 1.0, 255, 0},
};

}  // namespace

const FamilyInfo* familyInfo(const std::string& family) {
  for (const FamilyInfo& f : kFamilies)
    if (family == f.family) return &f;
  return nullptr;
}

int familyKeyType(const FamilyInfo* info, const std::string& key) {
  if (!info) return -1;
  for (int i = 0; i < info->keyCount; i++) {
    const char* pattern = info->keys[i].name;
    const char* d = std::strstr(pattern, "%d");
    if (!d) {
      if (key == pattern) return info->keys[i].type;
      continue;
    }
    for (int n = 0; n < 8; n++) {
      char name[64];
      std::snprintf(name, sizeof name, pattern, n);
      if (key == name) return info->keys[i].type;
    }
  }
  return -1;
}

const MaterialInfo* materialInfo(const std::string& name) {
  for (const MaterialInfo& m : kMaterials)
    if (name == m.name) return &m;
  return nullptr;
}

}  // namespace tbl
