#include "capture/BracketCamera.h"

#include "document/CViewDoc.h"
#include "picture/SeriesKeyword.h"
#include "picture/Sidecar.h"

SettingValues DocumentBracketCamera::Read() { return document_->cameraSession().Read(); }

std::vector<std::string> DocumentBracketCamera::Offered(camera::Setting key) {
    std::vector<std::string> out;
    if (camera::CanonDriver* driver = document_->openDriver())
        for (const camera::SettingOption& option : driver->Options(key))
            out.push_back(option.label);
    return out;
}

int DocumentBracketCamera::NextSeries() {
    return picture::NextSeriesNumber(document_->captureFolder(), picture::SeriesKind::Bracket);
}

void DocumentBracketCamera::SetSeries(const std::string& series) { document_->SetSeries(series); }

std::string DocumentBracketCamera::Tag(const std::string& picture, const std::string& keyword) {
    return picture::WriteSeriesKeyword(picture, keyword);
}

void DocumentBracketCamera::KeepOnReturn(camera::Setting key, const std::string& label) {
    document_->cameraSession().KeepOnReturn(key, label);
}
