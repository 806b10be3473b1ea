#include "model/file_dialog_filter.h"

#include "model/texts.h"

namespace quillane {

FileDialogFilter FirmwareFileFilter() {
    return {"(*.bin)", "*.bin", "bin"};
}

FileDialogFilter DeviceListFileFilter(int language) {
    return {Texts(language).exportFileFilter + " (*.csv)", "*.csv", "csv"};
}

}  // namespace quillane
