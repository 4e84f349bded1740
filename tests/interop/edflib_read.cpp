// Reads an EDF(+) or BDF(+) file with EDFlib and prints what it found in
// the form mne_read.py prints, so that a test compares both with what it
// wrote. EDFlib refuses a file whose header breaks the format's rules;
// this program then says why and exits with status 2.
//
//   edflib_read FILE

#include <edflib.h>

#include <cstdio>
#include <vector>

namespace {

const char* TypeName(int type) {
    switch (type) {
        case EDFLIB_FILETYPE_EDF:
            return "EDF";
        case EDFLIB_FILETYPE_EDFPLUS:
            return "EDF+";
        case EDFLIB_FILETYPE_BDF:
            return "BDF";
        case EDFLIB_FILETYPE_BDFPLUS:
            return "BDF+";
        default:
            return "?";
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: edflib_read FILE\n");
        return 1;
    }
    edf_hdr_struct h{};
    if (edfopen_file_readonly(argv[1], &h, EDFLIB_READ_ALL_ANNOTATIONS) != 0) {
        std::printf("refused %d\n", h.filetype);
        return 2;
    }
    std::printf("type %s\n", TypeName(h.filetype));
    std::printf("start %04d-%02d-%02d %02d:%02d:%02d\n", h.startdate_year, h.startdate_month,
                h.startdate_day, h.starttime_hour, h.starttime_minute, h.starttime_second);
    const double recordSeconds = static_cast<double>(h.datarecord_duration) / EDFLIB_TIME_DIMENSION;
    long long frames = -1;
    for (int s = 0; s < h.edfsignals; ++s) {
        const edf_param_struct& p = h.signalparam[s];
        std::printf("signal %s\t%s\t%.9g\n", p.label, p.physdimension,
                    p.smp_in_datarecord / recordSeconds);
        if (frames < 0 || p.smp_in_file < frames) frames = p.smp_in_file;
    }
    for (long long i = 0; i < h.annotations_in_file; ++i) {
        edf_annotation_struct a{};
        if (edf_get_annotation(h.handle, static_cast<int>(i), &a) != 0) return 3;
        // Onsets come in units of 100 ns; the test compares microseconds.
        std::printf("ann %lld\t%s\n", (a.onset + 5) / 10, a.annotation);
    }
    std::vector<std::vector<double>> data(static_cast<std::size_t>(h.edfsignals),
                                          std::vector<double>(static_cast<std::size_t>(frames)));
    for (int s = 0; s < h.edfsignals; ++s)
        if (edfread_physical_samples(h.handle, s, static_cast<int>(frames),
                                     data[static_cast<std::size_t>(s)].data()) != frames)
            return 3;
    std::printf("data %lld\n", frames);
    for (long long f = 0; f < frames; ++f)
        for (int s = 0; s < h.edfsignals; ++s)
            std::printf("%.9g%c", data[static_cast<std::size_t>(s)][static_cast<std::size_t>(f)],
                        s + 1 == h.edfsignals ? '\n' : ' ');
    edfclose_file(h.handle);
    return 0;
}
