#include "ui/Fonts.h"

#include "platform/Handles.h"
#include "platform/Win932.h"
#include "ui/Form.h"

#include <initializer_list>
#include <string>

namespace {

// True when the system knows a face of this exact name (no substitution).
bool FaceInstalled(const char* face) {
    WindowDC screen(nullptr);
    if (!screen) return false;
    return FontFamilyExists932(screen.get(), face, DEFAULT_CHARSET);
}

HFONT CreateFirstFont(std::initializer_list<const char*> faces, int pixelHeight, bool italic) {
    const char* chosen = nullptr;
    for (const char* face : faces) {
        if (FaceInstalled(face)) {
            chosen = face;
            break;
        }
    }
    LOGFONTA lf{};
    lf.lfHeight = -TForm::Scaled(pixelHeight);
    lf.lfWeight = FW_NORMAL;
    lf.lfItalic = italic ? TRUE : FALSE;
    lf.lfCharSet = SHIFTJIS_CHARSET;
    lf.lfQuality = DEFAULT_QUALITY;
    lf.lfOutPrecision = OUT_TT_PRECIS;
    // With no listed face installed the font mapper picks by charset.
    const std::string face = chosen ? chosen : *faces.begin();
    face.copy(lf.lfFaceName, LF_FACESIZE - 1);  // every face listed fits
    HFONT font = CreateFontIndirect932(lf);
    return font ? font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

}  // namespace

HFONT CreateGothicFont(int pixelHeight, bool italic) {
    return CreateFirstFont({"ＭＳ Ｐゴシック", "MS PGothic", "IPAPGothic", "IPAPゴシック", "IPAGothic", "IPAゴシック"},
                           pixelHeight, italic);
}

HFONT CreateMinchoFont(int pixelHeight, bool italic) {
    return CreateFirstFont({"ＭＳ Ｐ明朝", "MS PMincho", "IPAPMincho", "IPAP明朝", "IPAMincho", "IPA明朝"}, pixelHeight,
                           italic);
}
