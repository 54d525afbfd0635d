// Registration operations of the recogniser families, one per source file.
#pragma once

#include "carve/family.h"

namespace salvora {

void registerBmp(FamilyTally& tally);
void registerJpeg(FamilyTally& tally);
void registerIndd(FamilyTally& tally);
void registerRiff(FamilyTally& tally);
void registerTiff(FamilyTally& tally);
void registerPanasonicRaw(FamilyTally& tally);
void registerOrf(FamilyTally& tally);
void registerCrw(FamilyTally& tally);
void registerX3f(FamilyTally& tally);
void registerMrw(FamilyTally& tally);
void registerRaf(FamilyTally& tally);
void registerMp3(FamilyTally& tally);
void registerOle(FamilyTally& tally);
void registerPdf(FamilyTally& tally);
void registerMpg(FamilyTally& tally);
void registerM2ts(FamilyTally& tally);
void registerMov(FamilyTally& tally);
void registerZip(FamilyTally& tally);
void registerPng(FamilyTally& tally);
void registerGif(FamilyTally& tally);
void registerWebp(FamilyTally& tally);
void registerHeif(FamilyTally& tally);
void registerMatroska(FamilyTally& tally);
void registerFlac(FamilyTally& tally);
void registerOgg(FamilyTally& tally);
void registerM4a(FamilyTally& tally);
void registerSqlite(FamilyTally& tally);
void registerSevenZip(FamilyTally& tally);
void registerRar(FamilyTally& tally);

}  // namespace salvora
