// The backlog screen in the engine: TZelLog's behaviour over the game
// script's message log, its rows, pictures and scroll bar (TLogView) drawn
// over a frozen, tinted copy of the game screen, and voices replayed on the
// last stream channel.
#pragma once

#include <memory>

namespace zel {

class IGameFiles;
class TEngineSound;
class TFontTable;
class TInput;
struct TZelSystemParts;

// Sets parts.logScreen and hands the game script to it as scripts are made.
void AttachLogScreen(TZelSystemParts& parts, IGameFiles& files, const TInput* input, TEngineSound* sound,
                     TFontTable* fonts);

}  // namespace zel
