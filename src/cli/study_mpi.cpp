// A study spread over the processes of mpirun. The first process (rank 0) reads the study,
// owns the output directory and writes every file, in the study's order, exactly as a single
// process does; it also computes units on its own threads. The others ask it for work units
// (a batch of viscosities of one point, or a steady study's run of points solved together)
// whenever a thread of theirs is free and send back the records, so that fast and slow
// processes alike stay busy to the end. Records travel as
// doubles, bit for bit, so the files are those of a run in one process. Only the first process
// needs to see the output directory and the study's files.
#include <mpi.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <iostream>
#include <mutex>
#include <ostream>
#include <thread>

#include "files/body_file.hpp"
#include "cli/program.hpp"
#include "engine/record_doubles.hpp"
#include "files/result_file.hpp"
#include "study/study_command.hpp"

namespace tidal {

namespace {

enum Tag : int {
    kRequest = 1, // worker to rank 0: a thread is free
    kUnit = 2,    // rank 0 to worker: compute this unit
    kDone = 3,    // rank 0 to worker: no more units
    kResult = 4,  // worker to rank 0: the records of a unit
};

// A unit's records as doubles (engine/record_doubles.hpp), after its index and its number of
// points (a steady unit may hold several, one batch each). Only the series the point's files
// keep travel: the last run's of its sweep (the legacy series files) and those of the
// viscosities asked for with --series; the other batches' last series would only be
// overwritten, so they are dropped from the batch before it is packed.
std::vector<double> pack(const StudyJob& job, int unit, std::vector<Batch>& batches) {
    const auto [point, b] = job.locate(unit);
    std::vector<double> out;
    append_doubles(out, unit);
    append_doubles(out, static_cast<int>(batches.size()));
    for (std::size_t k = 0; k < batches.size(); ++k) {
        const int p = point + static_cast<int>(k);
        Batch& batch = batches[k];
        const std::vector<double>& asked = job.series(p);
        for (std::size_t i = 0; i < batch.size(); ++i) {
            ViscosityResults& v = batch[i];
            const bool last = b + 1 == job.batches(p) && i + 1 == batch.size();
            const bool series = last || std::find(asked.begin(), asked.end(),
                                                  job.sweep(p).viscosity(v.k)) != asked.end();
            if (!series)
                for (RunRecords& run : v.runs)
                    run.ursurf.clear();
        }
        append_doubles(out, batch);
    }
    return out;
}

std::vector<Batch> unpack(const std::vector<double>& in, int& unit) {
    DoublesReader reader(in.data(), in.data() + in.size());
    read_doubles(reader, unit);
    int count = 0;
    read_doubles(reader, count);
    if (count < 0) throw RecordDoublesError("a unit's message holds no points");
    std::vector<Batch> batches(static_cast<std::size_t>(count));
    for (Batch& batch : batches)
        read_doubles(reader, batch);
    if (!reader.done()) throw RecordDoublesError("a unit's message is longer than its records");
    return batches;
}

void pause() {
    std::this_thread::sleep_for(std::chrono::microseconds(500));
}

// Rank 0's side of the other processes: requests answered with units from the shared queue,
// results delivered into it.
class MpiWorkers final : public RemoteWorkers {
  public:
    MpiWorkers(int size, int slots)
        : slots_(slots), owed_(static_cast<std::size_t>(size), 0),
          told_(static_cast<std::size_t>(size), false), handed_(static_cast<std::size_t>(size), 0) {
        told_[0] = true;
    }
    int slots() const override { return slots_; }
    void poll(OrderedResults<UnitResult>& results) override { serve(&results); }
    std::vector<int> units_handed() const override {
        return std::vector<int>(handed_.begin() + 1, handed_.end());
    }
    void finish() override {
        finishing_ = true;
        while (!all_released()) {
            serve(nullptr);
            pause();
        }
    }

  private:
    // Receives what has come; hands out units (none once finishing; results then dropped).
    void serve(OrderedResults<UnitResult>* results) {
        int flag = 0;
        MPI_Status st;
        while (MPI_Iprobe(MPI_ANY_SOURCE, MPI_ANY_TAG, MPI_COMM_WORLD, &flag, &st), flag) {
            const auto from = static_cast<std::size_t>(st.MPI_SOURCE);
            if (st.MPI_TAG == kRequest) {
                int none = 0;
                MPI_Recv(&none, 1, MPI_INT, st.MPI_SOURCE, kRequest, MPI_COMM_WORLD,
                         MPI_STATUS_IGNORE);
                waiting_.push_back(st.MPI_SOURCE);
            } else {
                int count = 0;
                MPI_Get_count(&st, MPI_DOUBLE, &count);
                std::vector<double> data(static_cast<std::size_t>(count));
                MPI_Recv(data.data(), count, MPI_DOUBLE, st.MPI_SOURCE, kResult, MPI_COMM_WORLD,
                         MPI_STATUS_IGNORE);
                --owed_[from];
                int unit = 0;
                std::vector<Batch> batches = unpack(data, unit);
                // Without their engines: the writing thread builds the points' models.
                if (results != nullptr && !finishing_)
                    results->deliver(unit, UnitResult{std::move(batches), {}});
            }
        }
        while (!waiting_.empty()) {
            int unit = -1;
            const auto claim = finishing_ || results == nullptr
                                   ? OrderedResults<UnitResult>::Claim::None
                                   : results->try_claim(unit);
            if (claim == OrderedResults<UnitResult>::Claim::NotYet) break;
            const int to = waiting_.front();
            waiting_.pop_front();
            if (claim == OrderedResults<UnitResult>::Claim::Unit) {
                MPI_Send(&unit, 1, MPI_INT, to, kUnit, MPI_COMM_WORLD);
                ++owed_[static_cast<std::size_t>(to)];
                ++handed_[static_cast<std::size_t>(to)];
            } else {
                MPI_Send(&unit, 1, MPI_INT, to, kDone, MPI_COMM_WORLD);
                told_[static_cast<std::size_t>(to)] = true;
            }
        }
    }

    bool all_released() const {
        for (std::size_t r = 0; r < told_.size(); ++r)
            if (!told_[r] || owed_[r] != 0) return false;
        return true;
    }

    int slots_;
    std::vector<int> owed_;   // units handed to each process and not yet returned
    std::vector<bool> told_;  // each process knows that no more units come
    std::vector<int> handed_; // units handed to each process
    std::deque<int> waiting_;
    bool finishing_ = false;
};

// A worker process: its threads compute the units rank 0 hands out, one unit ahead; its main
// thread talks to rank 0.
void serve_units(const StudyJob& job, int threads, bool plain) {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<int> todo;
    std::deque<std::pair<int, std::vector<Batch>>> done;
    bool quit = false;
    std::exception_ptr error;
    std::vector<std::jthread> pool;
    for (int t = 0; t < threads; ++t)
        pool.emplace_back([&] {
            UnitComputer computer(job, plain);
            while (true) {
                int unit = 0;
                {
                    std::unique_lock lock(mutex);
                    changed.wait(lock, [&] { return quit || !todo.empty(); });
                    if (todo.empty()) return;
                    unit = todo.front();
                    todo.pop_front();
                }
                try {
                    std::vector<Batch> b = computer.compute(unit, [] { return false; });
                    std::lock_guard lock(mutex);
                    done.emplace_back(unit, std::move(b));
                } catch (...) {
                    std::lock_guard lock(mutex);
                    if (!error) error = std::current_exception();
                    done.emplace_back(-1, std::vector<Batch>{});
                }
            }
        });
    const auto stop_pool = [&] {
        {
            std::lock_guard lock(mutex);
            quit = true;
        }
        changed.notify_all();
        pool.clear();
    };

    int inflight = 0;
    bool asking = false, finished = false;
    int reply = 0;
    MPI_Request request = MPI_REQUEST_NULL;
    while (!(finished && inflight == 0)) {
        bool busy = false;
        // One unit more than threads, so that a thread finds the next one waiting instead
        // of asking across the network and idling until the answer comes.
        if (!finished && !asking && inflight < threads + 1) {
            int none = 0;
            MPI_Send(&none, 1, MPI_INT, 0, kRequest, MPI_COMM_WORLD);
            MPI_Irecv(&reply, 1, MPI_INT, 0, MPI_ANY_TAG, MPI_COMM_WORLD, &request);
            asking = true;
        }
        if (asking) {
            int flag = 0;
            MPI_Status st;
            MPI_Test(&request, &flag, &st);
            if (flag) {
                asking = false;
                busy = true;
                if (st.MPI_TAG == kUnit) {
                    ++inflight;
                    {
                        std::lock_guard lock(mutex);
                        todo.push_back(reply);
                    }
                    changed.notify_one();
                } else {
                    finished = true;
                }
            }
        }
        std::deque<std::pair<int, std::vector<Batch>>> ready;
        {
            std::lock_guard lock(mutex);
            ready.swap(done);
            if (error) {
                stop_pool();
                std::rethrow_exception(error);
            }
        }
        for (auto& [unit, batch] : ready) {
            const std::vector<double> data = pack(job, unit, batch);
            MPI_Send(data.data(), static_cast<int>(data.size()), MPI_DOUBLE, 0, kResult,
                     MPI_COMM_WORLD);
            --inflight;
            busy = true;
        }
        if (!busy) pause();
    }
    stop_pool();
}

// Sends a string from rank 0 to every process.
void broadcast(std::string& s) {
    long long n = static_cast<long long>(s.size());
    MPI_Bcast(&n, 1, MPI_LONG_LONG, 0, MPI_COMM_WORLD);
    s.resize(static_cast<std::size_t>(n));
    MPI_Bcast(s.data(), static_cast<int>(n), MPI_CHAR, 0, MPI_COMM_WORLD);
}

// The bodies of a job as one text (body files separated by NUL), and back.
std::string job_text(const StudyJob& job) {
    std::string s;
    for (int p = 0; p < job.points(); ++p)
        s += write_body(job.body(p), "") + '\0';
    return s;
}

StudyJob job_from_text(const std::string& s, const std::vector<double>& series, bool steady) {
    std::vector<Body> bodies;
    std::vector<int> numbers;
    for (std::size_t at = 0; at < s.size();) {
        const std::size_t end = s.find('\0', at);
        auto body = read_body(std::string_view(s).substr(at, end - at), "point");
        if (const auto* e = std::get_if<BodyError>(&body)) throw OutputError(e->message);
        bodies.push_back(std::get<Body>(std::move(body)));
        numbers.push_back(static_cast<int>(numbers.size()));
        at = end + 1;
    }
    return StudyJob(std::move(bodies), std::move(numbers), series, steady);
}

} // namespace

int mpi_study_command(const std::string& study_file, const std::string& output,
                      const StudySettings& settings, std::ostream& err) {
    int provided = 0;
    MPI_Init_thread(nullptr, nullptr, MPI_THREAD_FUNNELED, &provided);
    int rank = 0, size = 1;
    MPI_Comm_rank(MPI_COMM_WORLD, &rank);
    MPI_Comm_size(MPI_COMM_WORLD, &size);
    if (size == 1) {
        const int status = study_command(study_file, output, settings, err);
        MPI_Finalize();
        return status;
    }

    try {
        // Rank 0 reads and checks the study and takes the directory; all learn the outcome.
        std::optional<Study> study;
        PreparedStudy prepared;
        int status = -1; // go on
        if (rank == 0) {
            auto read = read_study_file(study_file);
            if (auto* e = std::get_if<StudyError>(&read)) {
                err << "error: " << e->message << '\n';
                status = kExitBadChoice;
            } else {
                study = std::get<Study>(std::move(read));
                if (settings.steady) study->steady = *settings.steady;
                try {
                    auto p = prepare_study(*study, output, settings.series);
                    if (auto* e = std::get_if<StudyError>(&p)) {
                        err << "error: " << e->message << '\n';
                        status = kExitBadChoice;
                    } else {
                        prepared = std::get<PreparedStudy>(std::move(p));
                    }
                } catch (const OutputError& e) {
                    err << "error: " << e.what() << '\n';
                    status = kExitFailure;
                }
            }
        }
        MPI_Bcast(&status, 1, MPI_INT, 0, MPI_COMM_WORLD);
        if (status >= 0) {
            MPI_Finalize();
            return status;
        }

        std::string text = rank == 0 ? job_text(prepared.job) : std::string();
        broadcast(text);
        int steady = rank == 0 && prepared.job.steady() ? 1 : 0;
        MPI_Bcast(&steady, 1, MPI_INT, 0, MPI_COMM_WORLD);
        const int threads = std::max(1, settings.threads);
        int remote_threads = 0;
        const int mine = rank == 0 ? 0 : threads + 1; // units a worker holds at once
        MPI_Reduce(&mine, &remote_threads, 1, MPI_INT, MPI_SUM, 0, MPI_COMM_WORLD);

        if (rank != 0) {
            serve_units(job_from_text(text, settings.series, steady != 0), threads,
                        settings.plain);
            status = kExitSuccess;
        } else {
            MpiWorkers workers(size, remote_threads);
            status = run_study(*study, prepared, err, settings, &workers);
        }
        MPI_Finalize();
        return status;
    } catch (const std::exception& e) {
        // The other processes would wait for this one for ever.
        err << "error: " << e.what() << '\n' << std::flush;
        MPI_Abort(MPI_COMM_WORLD, kExitFailure);
    }
    return kExitFailure;
}

} // namespace tidal
