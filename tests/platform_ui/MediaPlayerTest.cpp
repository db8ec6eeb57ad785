#include <gtest/gtest.h>

#include "support/GuiTestSupport.h"

#include <QApplication>
#include <QAudioDevice>
#include <QElapsedTimer>
#include <QMediaDevices>
#include <QTemporaryDir>
#include <fstream>

#include "platform_ui/media/MediaPlayer.h"

namespace {

bool spinUntil(const std::function<bool()>& done) {
    return testing_support::spinUntil(done, 10000);
}

TEST(MediaPlayerTest, PlaysAVideoIntoItsViewAndReportsTheEndOnce) {
    // Ten grey 64 x 48 frames as YUV4MPEG2, at 10 frames a second.
    QTemporaryDir dir;
    const std::string path = dir.filePath("grey.y4m").toStdString();
    {
        std::ofstream out(path, std::ios::binary);
        out << "YUV4MPEG2 W64 H48 F10:1 Ip A1:1 C420jpeg\n";
        const std::string planes(64 * 48 + 2 * 32 * 24, static_cast<char>(128));
        for (int i = 0; i < 10; ++i)
            out << "FRAME\n" << planes;
    }
    ui::MediaPlayer player;
    EXPECT_EQ(player.hasAudioOutput(), !QMediaDevices::audioOutputs().isEmpty());
    ui::PlayerView view(player);
    view.resize(200, 180);
    view.show();
    int ends = 0;
    player.setDidPlayToEnd([&] { ++ends; });
    player.setSource(QUrl::fromLocalFile(QString::fromStdString(path)));
    player.play();
    ASSERT_TRUE(spinUntil([&] { return view.framesShown() >= 3; }));
    const QImage shot = view.grab().toImage();
    const QColor centre(shot.pixel(100, 60));
    EXPECT_NEAR(centre.red(), 128, 24);
    EXPECT_NEAR(centre.green(), 128, 24);
    EXPECT_NEAR(centre.blue(), 128, 24);
    ASSERT_TRUE(spinUntil([&] { return ends > 0; }));
    testing_support::spin(300);
    EXPECT_EQ(ends, 1);
    EXPECT_GE(view.framesShown(), 3);
}

}  // namespace
