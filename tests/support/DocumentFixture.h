// A document over the simulated SDKs (manual viewfinder) with its config file in a fresh
// temporary folder, and small virtual cameras that write tiny images.
#pragma once

#include "document/CViewDoc.h"
#include "sdk/sim/Simulator.h"

#include "support/TestSupport.h"
#include "support/Worlds.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace testsupport {

class DocumentTest : public ::testing::Test {
protected:
    static sim::Simulator& Cd() { return sim::Simulator::cd(); }
    static sim::Simulator& Rc() { return sim::Simulator::rc(); }

    void SetUp() override {
        Probe::Reset();
        ResetSimulators(WorldOf({SmallCamera("PowerShot G5")}),
                        WorldOf({SmallCamera("EOS 20D"), SmallCamera("EOS 300D")}));
    }

    void TearDown() override {
        doc.reset();
        ResetSimulators();
    }

    // The document with config.cfg in the temporary folder and captures going there too.
    CViewDoc& MakeDoc(bool captureHere = true) {
        doc = std::make_unique<CViewDoc>(Cd().api(), Rc().api(), dir.file("config.cfg"));
        if (captureHere) {
            doc->SetCaptureFolder(dir.folder());
            doc->SetCaptureName("Photo");
        }
        doc->RegisterView(&console, "Debug");
        return *doc;
    }

    CViewDoc& Connected(const std::string& name) {
        CViewDoc& d = doc ? *doc : MakeDoc();
        d.UpdateDeviceList();
        EXPECT_TRUE(d.ConnectCamera(name)) << name;
        return d;
    }

    // Delivers a hand-made frame through the document's frame relay.
    static void Relay(std::vector<std::uint8_t>& frame) {
        CViewDoc::FrameRelay(frame.data(), static_cast<std::uint32_t>(frame.size()), 1, nullptr);
    }

    // The document listing its cameras and adding each frame to the one before (one frame
    // summed), two frames of 10 relayed through it; returns the second's pixel as relayed (20).
    std::uint8_t SummingTwoFramesOf10() {
        MakeDoc();
        doc->UpdateDeviceList();
        doc->setOnFrame(&Probe::OnFrame);
        doc->SetAdditiveFrames(1);
        std::vector<std::uint8_t> a = MakeUniformFrame(10), b = MakeUniformFrame(10);
        Relay(a);
        Relay(b);
        return b[100];
    }

    TempDir dir;
    ConsolePane console;
    std::unique_ptr<CViewDoc> doc;
};

}   // namespace testsupport
