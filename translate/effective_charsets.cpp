// Which character-set codes the Translation setting honours.
#include "activity/system_context.h"
#include "translate/translation.h"

namespace rdx {
namespace {

constexpr uint32_t kCodeAscii = 9;

uint32_t Effective(uint32_t code, uint32_t options, const TranslationContext &translation) {
    if (IsKind(code) || code == RDCHARSET_UNICODE) return code;
    const uint32_t native = translation.textFormat;
    if (code == RDCHARSET_DEFAULT) return native;
    if ((options & RDCONVERT_LITERAL) != 0) return code;
    switch (translation.translationMode) {
    case 0:
        return native;
    case 1:
        return code == RDCHARSET_INTERCHANGE ? code : native;
    default:
        return code;
    }
}

} // namespace

void EffectiveCharsets(uint32_t options, uint32_t *sc, uint32_t *dc) {
    if (*sc == kCodeAscii && *dc == RDCHARSET_INTERCHANGE) {
        *sc = RDCHARSET_INTERCHANGE; // 7-bit text is already interchange text
        return;
    }
    const TranslationContext &translation = Context()->translation;
    *sc = Effective(*sc, options, translation);
    *dc = Effective(*dc, options, translation);
}

} // namespace rdx
