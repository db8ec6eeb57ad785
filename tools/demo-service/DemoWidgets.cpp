#include "demo-service/DemoWidgets.h"

namespace demo {

using Json = nlohmann::json;

bool hasWidgetShowcase(const std::string& code) {
    return code == "MG01-2403" || code == "BK0003";
}

Json showcaseWidgets(int pageIndex) {
    switch (pageIndex) {
        case 1:  // links
            return Json::array({{{"WidgetType", "PageLink"},
                                 {"Frame", "{{40, 100}, {200, 40}}"},
                                 {"TargetPageNumber", 5}},
                                {{"WidgetType", "PageLinkWidget"},
                                 {"Frame", "{{40, 160}, {200, 40}}"},
                                 {"PageName", "P7"},
                                 {"VisualStyle", 2}},
                                {{"WidgetType", "UrlLink"},
                                 {"Frame", "{{40, 220}, {200, 40}}"},
                                 {"TargetURL", "https://example.com/varnel?issue=MG01-2403"},
                                 {"OpenInExternalApp", true}},
                                {{"WidgetType", "EmailLink"},
                                 {"Frame", "{{40, 280}, {200, 40}}"},
                                 {"Recipient", "library@example.com"},
                                 {"Subject", "Hello there"},
                                 {"Body", "Questions & answers"}},
                                {{"WidgetType", "UrlLink"},
                                 {"Frame", "{{40, 340}, {200, 40}}"},
                                 {"TargetURL", "varnel.kel://shop/magazine/issue?id=MG01-2403"}}});
        case 2:  // pictures
            return Json::array(
                {{{"WidgetType", "ImageWidget"},
                  {"Frame", "{{40, 80}, {500, 250}}"},
                  {"ImageFileName", "photo_1000x500"},
                  {"Opaque", true},
                  {"Subwidgets", Json::array({{{"WidgetType", "UrlLink"},
                                               {"Frame", "{{100, 100}, {200, 100}}"},
                                               {"TargetURL", "https://example.com/photo"}}})}},
                 {{"WidgetType", "ImageScrollWidget"},
                  {"Frame", "{{40, 400}, {500, 300}}"},
                  {"ScrollableIndicatorVisible", true},
                  {"Subwidgets", Json::array({{{"WidgetType", "ImageWidget"},
                                               {"Frame", "{{0, 0}, {500, 250}}"},
                                               {"ImageFileName", "scroll_1"}},
                                              {{"WidgetType", "ImageWidget"},
                                               {"Frame", "{{0, 250}, {500, 250}}"},
                                               {"ImageFileName", "scroll_2"}},
                                              {{"WidgetType", "ImageWidget"},
                                               {"Frame", "{{0, 500}, {500, 250}}"},
                                               {"ImageFileName", "scroll_3"}}})},
                  {"ImageViews",
                   Json::array({{{"ImageFileName", "scroll_1"}, {"ScrollDirection", 0}},
                                {{"ImageFileName", "scroll_2"}, {"ScrollDirection", 0}},
                                {{"ImageFileName", "scroll_3"}, {"ScrollDirection", 0}}})}}});
        case 3:  // turning and sliding pictures
            return Json::array(
                {{{"WidgetType", "ImageView360"},
                  {"Frame", "{{40, 80}, {320, 240}}"},
                  {"ImageFormat", "spin_<Id>.jpg"},
                  {"ImageIdStart", 1},
                  {"ImageIdEnd", 12},
                  {"ImageIdLength", 2},
                  {"RunWhenActive", true}},
                 {{"WidgetType", "SlideshowButton"},
                  {"Frame", "{{40, 400}, {60, 60}}"},
                  {"PopupStyle", 2},
                  {"PopupFrame", "{{0, 500}, {595, 200}}"},
                  {"ImageFileNames", Json::array({"slide_1", "slide_2", "slide_3"})}},
                 {{"WidgetType", "SlideshowButton"},
                  {"Frame", "{{120, 400}, {60, 60}}"},
                  {"HasBackgroundShade", true},
                  {"ImageFileNames", Json::array({"slide_4", "slide_5"})}}});
        case 4:  // video and sound
            return Json::array({{{"WidgetType", "EmbeddedVideo"},
                                 {"Frame", "{{40, 80}, {320, 240}}"},
                                 {"Id", "clip.y4m"},
                                 {"VideoFrame", "{{40, 80}, {320, 240}}"},
                                 {"Repeat", true}},
                                {{"WidgetType", "PopupVideoButton"},
                                 {"Frame", "{{40, 400}, {60, 60}}"},
                                 {"VideoFileName", "clip.y4m"}},
                                {{"WidgetType", "AudioPlayer"},
                                 {"Frame", "{{120, 400}, {60, 60}}"},
                                 {"AudioFileName", "tone.wav"}}});
        case 5:  // overlays, attached widgets, a button with every key
            return Json::array(
                {{{"WidgetType", "ItemHighlighter"},
                  {"Frame", "{{40, 80}, {100, 100}}"},
                  {"FileName", "glow"},
                  {"Blinks", false}},
                 {{"WidgetType", "InlineImageScroller"},
                  {"Frame", "{{40, 200}, {300, 200}}"},
                  {"Images", Json::array({"inline_1", "inline_2"})}},
                 {{"WidgetType", "ImageWidget"},
                  {"X", 40},
                  {"Y", 450},
                  {"Width", 200},
                  {"Height", 150},
                  {"ImageFileName", "photo_small"},
                  {"AttachedWidgets", Json::array({{{"WidgetType", "PageLink"},
                                                    {"Frame", "{{260, 450}, {120, 40}}"},
                                                    {"TargetPageNumber", "2"}},
                                                   {{"WidgetType", "EmailLink"},
                                                    {"Frame", "{{260, 500}, {120, 40}}"},
                                                    {"Recipient", "library@example.com"}}})}},
                 {{"WidgetType", "UrlLink"},
                  {"Frame", "{{40, 650}, {300, 60}}"},
                  {"TargetURL", "https://example.com/button"},
                  {"Button",
                   {{"FrameStyle", 2},
                    {"FrameColor", "red"},
                    {"BlinkInterval", 0.5},
                    {"BlinkColor", "blue"},
                    {"GroupId", 3},
                    {"BackgroundColor", "green"},
                    {"BackgroundInteractable", false},
                    {"PushedBackgroundColor", "cyan"},
                    {"PushedEffectEnabled", true},
                    {"IsToggleButton", true},
                    {"IconVisible", true},
                    {"IconUserInteractive", false},
                    {"IconAnchor", "{bottom,right}"}}}}});
        default:
            return Json::array();
    }
}

void addHostileWidgets(Json& pages) {
    Json nested = {{"WidgetType", "ImageWidget"}, {"ImageFileName", "deep"}};
    for (int depth = 0; depth < 100; ++depth)
        nested = {{"WidgetType", "ImageWidget"},
                  {"Frame", "{{1, 1}, {10, 10}}"},
                  {"Subwidgets", Json::array({nested})}};
    pages["1"]["Widgets"] = Json::array(
        {{{"WidgetType", 5}, {"Frame", "{{0, 0}, {10, 10}}"}},
         {{"WidgetType", "imagewidget"}, {"ImageFileName", "lower"}},
         {{"WidgetType", "Sparkles"}},
         {{"Frame", "{{0, 0}, {10, 10}}"}, {"ImageFileName", "typeless"}},
         {{"WidgetType", "UrlLink"}, {"Frame", 12}, {"X", 4}, {"Y", 5}},
         {{"WidgetType", "UrlLink"}, {"Frame", Json::object({{"X", 1}})}},
         {{"WidgetType", "UrlLink"}, {"Frame", "{10,20}"}},
         {{"WidgetType", "UrlLink"}, {"Frame", "{a,b,c,d}"}},
         {{"WidgetType", "UrlLink"}, {"Frame", "{1e39,0,nan,inf}"}},
         {{"WidgetType", "UrlLink"}},
         {{"WidgetType", "ImageWidget"}, {"ImageFileName", "sub_text"}, {"Subwidgets", "text"}},
         {{"WidgetType", "ImageWidget"},
          {"ImageFileName", "sub_list"},
          {"Subwidgets", Json::array({"text", 3})}},
         {{"WidgetType", "UrlLink"},
          {"AttachedWidgets", Json::object({{"WidgetType", "UrlLink"}})}},
         {{"WidgetType", "UrlLink"},
          {"Frame", "{{0, 0}, {10, 10}}"},
          {"Button", Json::array({1, 2})}},
         nested,
         {{"WidgetType", "ImageView360"},
          {"ImageFormat", "spin_<Id>.jpg"},
          {"ImageIdStart", 1},
          {"ImageIdEnd", 3},
          {"ImageIdLength", 0}},
         {{"WidgetType", "ImageView360"},
          {"ImageFormat", "spin_<Id>.jpg"},
          {"ImageIdStart", 0},
          {"ImageIdEnd", 2147483647},
          {"ImageIdLength", 2}},
         {{"WidgetType", "ImageWidget"}, {"ImageFileName", "../../escape"}},
         {{"WidgetType", "ImageWidget"}, {"ImageFileName", "/etc/passwd"}},
         {{"WidgetType", "ImageWidget"}, {"ImageFileName", ""}},
         {{"WidgetType", "ImageWidget"}, {"ImageFileName", "fine"}}});
    pages["2"]["Widgets"] =
        Json::array({5, {{"WidgetType", "ItemHighlighter"}, {"FileName", "ok"}}});
}

}  // namespace demo
