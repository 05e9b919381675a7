// The control resizer: controls follow a window that shrinks below its designed size, and
// the window goes no smaller than keeps every control whole and apart.
#include <gtest/gtest.h>

#include "platform/classes/window_controller.h"
#include "platform/ui/layout.h"
#include "platform/ui/test_driver.h"

namespace {

const char* kLayout = R"(
window Sizing mdi "Sizing" size 200,100 resize
  list ?LIST at 5,5 size 190,60 format "80L(2)|M~Name~@s20@"
  button ?LEFT "&Left" at 5,80 size 40,14
  button ?RIGHT "&Right" at 150,80 size 40,14
end
)";

struct Geometry {
  int x, y, w, h;
  bool operator==(const Geometry& o) const { return x == o.x && y == o.y && w == o.w && h == o.h; }
};

class ResizerTest : public ::testing::Test {
 protected:
  pf::TestDriver d;

  void SetUp() override {
    pf::registerLayout("Sizing", kLayout);
    d.start([] {
      pf::Window w("Sizing");
      w.open();
      pf::ControlResizer r;
      r.ResizeInit(pf::Resize::Anchor, 0, 0, &w);
      namespace P = pf::ResizePos;
      namespace S = pf::ResizeSize;
      r.ResizeSetStrategy(w.feq("?LIST"), P::Fixed, P::Fixed, S::Grow, S::Grow);
      r.ResizeSetStrategy(w.feq("?LEFT"), P::Fixed, P::Move, S::Fixed, S::Fixed);
      r.ResizeSetStrategy(w.feq("?RIGHT"), P::Move, P::Move, S::Fixed, S::Fixed);
      r.ResizeApply();
      while (w.accept())
        if (w.event() == pf::EVENT::Sized) r.ResizeApply();
    });
  }

  Geometry at(const std::string& control) {
    const pf::Control* c = d.window().control(d.feq(control));
    return {c->x, c->y, c->w, c->h};
  }
};

TEST_F(ResizerTest, ControlsFollowAWindowSmallerThanItsDesign) {
  d.resizeWindow(150, 70);
  EXPECT_EQ(at("?LIST"), (Geometry{5, 5, 140, 30}));
  EXPECT_EQ(at("?LEFT"), (Geometry{5, 50, 40, 14})) << "the button rows stay in the window";
  EXPECT_EQ(at("?RIGHT"), (Geometry{100, 50, 40, 14}));
  d.resizeWindow(260, 130);
  EXPECT_EQ(at("?LIST"), (Geometry{5, 5, 250, 90}));
  EXPECT_EQ(at("?RIGHT"), (Geometry{210, 110, 40, 14}));
}

TEST_F(ResizerTest, TheWindowKeepsTheSmallestSizeThatShowsEveryControl) {
  pf::Window& w = d.window();
  // ?RIGHT meets ?LEFT below 95 wide; below 41 high the list would have no height left.
  EXPECT_EQ(w.propInt(0, pf::Prop::MinWidth), 95);
  EXPECT_EQ(w.propInt(0, pf::Prop::MinHeight), 41);
  d.resizeWindow(20, 10);
  EXPECT_EQ(w.propInt(0, pf::Prop::Width), 95);
  EXPECT_EQ(w.propInt(0, pf::Prop::Height), 41);
  EXPECT_EQ(at("?RIGHT"), (Geometry{45, 21, 40, 14}));
  EXPECT_EQ(at("?LIST"), (Geometry{5, 5, 85, 1}));
}

}  // namespace
