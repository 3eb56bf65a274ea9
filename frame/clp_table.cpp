// The keyword tables of the option command language: every keyword with its
// value form, range, the setting it writes, its handler, its default as it
// would be written on an option line, and how the settings listing shows it.
// The order of each table is the matching order (ambiguity is decided by it).
#include "frame/clp_handlers.h"
#include "frame/clp_table.h"

namespace kz::clp {

namespace {

PageSettings& curPage(ModelArea& a) {
  int16_t d = a.out.destination;
  return a.out.page[(d >= 0 && d <= 4) ? d : static_cast<int>(kDestWindow)];
}

constexpr double kInf = kNoLimit;
constexpr double kMax32 = 2147483647.0;
constexpr double kMin32 = -2147483648.0;
constexpr double kMax16 = 32767.0;
constexpr double kTiny = 4.9406564584124654e-324;  // "> 0" for doubles

}  // namespace

// The setting behind a keyword, as a function of the area.
#define AT(expr) (+[](ModelArea& a) -> void* { return &(expr); })

// Row builders: {name, form, store, lo, hi, field, cap, handler, def, show, letters}.
#define YN(n, f, d) {n, Form::kYesNo, Store::kI16, 0, 1, AT(f), 0, nullptr, d, Show::kOnOff, nullptr}
#define YNH(n, f, h, d) {n, Form::kYesNo, Store::kI16, 0, 1, AT(f), 0, h, d, Show::kOnOff, nullptr}
#define YN0(n, h, d) {n, Form::kYesNo, Store::kNone, 0, 1, nullptr, 0, h, d, Show::kNone, nullptr}
#define NUM(n, st, lo, hi, f, d) {n, Form::kNumber, Store::st, lo, hi, AT(f), 0, nullptr, d, Show::kNumber, nullptr}
#define NUMH(n, st, lo, hi, f, h, d) {n, Form::kNumber, Store::st, lo, hi, AT(f), 0, h, d, Show::kNumber, nullptr}
#define TIME(n, lo, hi, f, h, d) {n, Form::kTime, Store::kI32, lo, hi, AT(f), 0, h, d, Show::kNumber, nullptr}
#define TXT(n, form, cap, f, h, d) {n, Form::form, Store::kText, 0, 0, AT(f), cap, h, d, Show::kText, nullptr}
#define CHR(n, f, h, d) {n, Form::kChar, Store::kChar, 0, 0, AT(f), 0, h, d, Show::kChar, nullptr}
#define LET(n, f, letters, d) {n, Form::kLetter, Store::kI16, 0, 0, AT(f), 0, nullptr, d, Show::kNumber, letters}
#define SPECIAL(n, st, f, h, d, show) {n, Form::kSpecial, Store::st, 0, 0, AT(f), 0, h, d, Show::show, nullptr}
#define ACT(n, form, h, d) {n, Form::form, Store::kNone, 0, 0, nullptr, 0, h, d, Show::kNone, nullptr}

namespace {

constexpr Keyword kMain[] = {
    TXT("SPREADSH", kChars, 2, a.opt.spreadsheet, nullptr, "wk"),
    YNH("WARNINGS", a.out.warnings, hWarnings, "Yes"),
    TXT("BASIS", kFile, 256, a.opt.basisFile, hBasis, "NEVER"),
    YNH("LISTINPU", a.out.inputListing, hListInput, "No"),
    YN("SOLUTION", a.opt.solution, "Yes"),
    YN("COSTANAL", a.opt.costAnalysis, "No"),
    YN("MARGINAN", a.opt.marginalAnalysis, "No"),
    SPECIAL("MEMORY", kI32, a.pool.sizeK, hMemory, nullptr, kMemory),
    SPECIAL("STRATEGY", kI16, a.opt.strategy, hStrategy, "1", kNumber),
    YNH("EUROPEAN", a.opt.european, hEuropean, "No"),
    TXT("WORK1FIL", kFile, 256, a.opt.workDir, hWorkDir, nullptr),
    TIME("STOPUNCH", kMin32, kMax32, a.opt.stopUnchanged, nullptr, "2000000001"),
    TXT("OUTPUTS", kFile, 256, a.opt.outputFile, hOutputs, "CON:"),
    YNH("WAITS", curPage(a).waits, hWaits, "No"),
    SPECIAL("MATLIST", kI16, a.opt.matList, hMatList, "N", kMatList),
    SPECIAL("PARAMETR", kI16, a.opt.paramFlags, hParametric, nullptr, kParam),
    ACT("SETTINGS", kSpecial, hSettings, nullptr),
    NUM("SYMBOLIC", kI32, 0, kMax32, a.opt.symbolic, "20"),
    YN0("CONFIGUR", nullptr, "No"),
    NUMH("PAGESIZE", kI16, 0, kMax16, curPage(a).pageSize, hPageSize, "25"),
    NUMH("LINESIZE", kI16, 40, 4095, curPage(a).lineSize, hLineSize, "96"),
    NUMH("TMARGINS", kI16, 0, kMax16, curPage(a).topMargin, hTopMargin, "0"),
    NUMH("BMARGINS", kI16, 0, kMax16, curPage(a).bottomMargin, hBottomMargin, "0"),
    NUMH("LMARGINS", kI16, 0, kMax16, curPage(a).leftMargin, hLeftMargin, "0"),
    TXT("PROBSAVE", kFile, 256, a.opt.probSave, nullptr, nullptr),
    // The report field code FIELDSIZ * 10 + DECIMALS must stay a 16-bit code.
    NUM("FIELDSIZ", kI16, 8, 3275, a.opt.fieldSize, "11"),
    NUM("DECIMALS", kI16, 0, 9, a.opt.decimals, "5"),
    YNH("DEFAULTS", a.opt.defaults, hDefaults, "No"),
    TXT("PROBUSE", kFile, 256, a.opt.probUse, nullptr, nullptr),
    TXT("ACTIVITY", kFile, 256, a.opt.activityFile, hActivity, nullptr),
    SPECIAL("MUTE", kI16, a.opt.mute, hMute, "No", kOnOff),
    CHR("COMMENTS", a.opt.commentChar, hComments, "*"),
    NUM("COPIES", kI32, 0, kMax32, a.opt.copies, "1"),
    SPECIAL("PRIORITY", kI16, a.opt.priority, hPriority, "0", kNumber),
    YN0("CONFIGU", hConfigu, nullptr),
    SPECIAL("TOMPS", kI16, a.opt.toMps, hToMps, "No", kOnOff),
    SPECIAL("VIEW", kText, a.opt.view[0], hView, nullptr, kText),
    YN("MAXIMIZE", a.opt.maximize, "No"),
    TXT("OBJECTIV", kName, 8, a.opt.mpsObjective, nullptr, "?"),
    TXT("RHS", kName, 8, a.opt.mpsRhs, nullptr, "?"),
    TXT("BOUNDS", kName, 8, a.opt.mpsBounds, nullptr, "?"),
    TXT("RANGES", kName, 8, a.opt.mpsRanges, nullptr, "?"),
    YN("CONSTRAI", a.opt.constraints, "Yes"),
    TXT("VARMASKS", kText, 261, a.opt.varMasks, nullptr, "*"),
    TXT("CONMASKS", kText, 261, a.opt.conMasks, nullptr, "*"),
    YNH("MPSXSOLU", a.opt.mpsxSolution, hMpsxSolution, "No"),
    SPECIAL("LIMITSEA", kI16, a.opt.limitMode, hLimitSearch, "None", kLimit),
    YN0("CYCLECOD", nullptr, "No"),
    CHR("DELIMITE", a.opt.delimiter, nullptr, ","),
    YN("VECTORS", a.opt.vectors, "No"),
    SPECIAL("FORCE", kI16, a.opt.conflict, hConflict, "No", kNumber),
    TIME("STOPAFTE", kMin32, kMax32, a.opt.stopAfter, nullptr, "2000000001"),
    YN("POLLING", a.opt.polling, "Yes"),
    YN("GAMS", a.opt.gams, "No"),
    YN("GENINTEG", a.opt.genInteger, "Yes"),
    YN0("ONEKEYLP", hOneKeyLp, "No"),
    TXT("ZZACTIVI", kFile, 256, a.opt.zzActivity, nullptr, nullptr),
    ACT("INITIALI", kAny, nullptr, "0"),
    {"LTS", Form::kFile, Store::kNone, 0, 0, nullptr, 256, hLts, nullptr, Show::kNone, nullptr},
    YN("SOS", a.opt.sos, "Yes"),
    NUMH("ALTERNAT", kI16, 1, kMax16, a.opt.alternates, hAlternates, "No"),
    LET("TORCC", a.opt.toRcc, "NYO", "No"),
    TXT("ERRORMSG", kFile, 256, a.opt.errorMsgFile, nullptr, "kz"),
    TXT("FILENAME", kFile, 256, a.opt.fileName, hFileName, "RUNTIME"),
    TXT("LANGUAGE", kName, 7, a.opt.language, nullptr, "ENGLISH"),
    ACT("CLPENVIR", kSpecial, hClpEnvir, nullptr),
    NUM("TREEDEPT", kI16, 0, kMax16, a.opt.treeDepth, "0"),
    TIME("TREETIME", 0, kMax32, a.opt.treeTime, nullptr, "0"),
    ACT("MESSAGE", kSpecial, hMessage, nullptr),
    YN("COLANALY", a.opt.colAnalysis, "No"),
    YN("RPRTZERO", a.opt.reportZero, "Yes"),
    SPECIAL("PRESOLVE", kI32, a.opt.presolve, hPresolve, "Yes", kNumber),
    ACT("WHEN", kSpecial, hWhen, "+1"),
    TIME("STOPNODE", kMin32, kMax32, a.opt.stopNode, hStopNode, "300"),
    NUMH("EXTRAMEM", kI32, 0, 2048, a.opt.extraMem, hExtraMem, nullptr),
    NUM("SIGBITS", kI16, 0, 10, a.opt.sigBits, nullptr),
    TXT("DEACTIVA", kText, 511, a.opt.deactivate, nullptr, "\"\""),
    SPECIAL("CONFLICT", kI16, a.opt.conflict, hConflict, "No", kNumber),
    LET("VALMIPIN", a.opt.valMipIncumbent, "NYT", "No"),
    NUMH("KNAPREDU", kI32, kMin32, kMax32, a.opt.knapsack, hKnapsack, "0"),
    NUMH("MIPFIXED", kF64, 0, 100, a.opt.mipFixed, hMipFraction, "0.1"),
    NUMH("MIPFRACT", kF64, 0, 100, a.opt.mipFract, hMipFraction, "0.2"),
    SPECIAL("MULTISOL", kI16, a.opt.multiSolver, hMultiSolver, "X", kNumber),
    SPECIAL("MPRESOLV", kI32, a.opt.mPresolve, hMPresolve, "M", kNumber),
    SPECIAL("BPRESOLV", kI32, a.opt.bPresolve, hBPresolve, "*", kNumber),
    YN("UNSCLSOL", a.opt.unscaledSolution, "No"),
    YN("DEVELOPE", a.opt.developer, "No"),
};

constexpr Keyword kSet[] = {
    NUM("ITERATIO", kI32, 0, kMax32, a.opt.iterations, "2147483647"),
    NUM("REINVERT", kI16, 0, kMax16, a.opt.reinvert, "200"),
    NUMH("YPIVOT", kF64, -kInf, kInf, a.opt.yPivot, hMagnitude, "1e-10"),
    NUMH("XTOZERO", kF64, -kInf, kInf, a.opt.xToZero, hMagnitude, "1e-8"),
    NUMH("REDUCEDC", kF64, -kInf, kInf, a.opt.reducedCost, hNegMagnitude, "1e-7"),
    ACT("TOLERANC", kSpecial, hTolerance, nullptr),
    NUMH("ELEMSIZE", kF64, -kInf, kInf, a.opt.elemSize, hMagnitude, "1e-12"),
    NUMH("TRANENTR", kF64, -kInf, kInf, a.opt.tranEntry, hMagnitude, nullptr),
    NUMH("REJPIVOT", kF64, -kInf, kInf, a.opt.rejPivot, hMagnitude, "1e-6"),
    NUM("SUBOPTIM", kI16, 0, 1, a.opt.subOptimal, "1"),
    TIME("TIMELIMI", -kInf, kInf, a.opt.timeLimit, hTimeLimit, "2147483647"),
    NUMH("PARTIALP", kF64, 0, 100, a.opt.partialPricing, hPartialPricing, "0"),
    YN("SENSITIV", a.opt.sensitivity, "Yes"),
    YN("QC_CHECK", a.opt.qcCheck, "Yes"),
    NUMH("COLUMNS", kI32, -kInf, kInf, a.opt.maxColumns, hColumns, "2000000000"),
    NUMH("ROWS", kI32, -kInf, kInf, a.opt.maxRows, hRows, "2000000000"),
    NUM("UNIQUE_C", kI32, 1, kMax32, a.opt.nonzeros, "8170"),
    NUM("ETA_COEF", kI32, 1, kMax32, a.opt.etaCoef, "2147483647"),
    NUM("PRICING", kI16, 0, 4, a.opt.pricing, "3"),
    YN("MPSXCOMP", a.opt.mpsxCompatible, "No"),
    YN("ACTHEADE", a.opt.actHeader, "Yes"),
    YN("BELL", a.opt.bell, "Yes"),
    NUMH("MARKOWIT", kF64, 0, kInf, a.opt.markowitz, hMarkowitz, "0.25"),
    SPECIAL("SCALE", kI16, a.opt.scale, hScale, "Yes", kNumber),
    SPECIAL("FREQLOG", kI32, a.opt.freqLogMode, hFreqLog, "-:01", kNumber),
    YN("DEPFREE", a.opt.depFree, "No"),
    NUMH("DEPTHWID", kI32, kMin32, kMax32, a.opt.depthWidth, hDepthWidth, nullptr),
    YN("STOREZER", a.opt.storeZeros, "No"),
    NUMH("MPRICE", kI32, kMin32, kMax32, a.opt.mPrice, hNotNegative, "0"),
    NUMH("DEGENITE", kI32, kMin32, kMax32, a.opt.degenIter, hNotNegative, "0"),
    NUM("INTLIMIT", kI32, kMin32, kMax32, a.opt.intLimit, "2147483647"),
    NUMH("INTGAP", kF64, -kInf, kInf, a.opt.intGap, hMagnitude, "0"),
    YN("RELAXED", a.opt.relaxed, "No"),
    NUM("BASISMEM", kI32, kMin32, kMax32, a.opt.basisMem, "0"),
    ACT("ELIMINAT", kSpecial, hEliminate, "Yes"),
    YN("RESTART", a.opt.restart, "Yes"),
    NUMH("PERTURBA", kF64, -kInf, kInf, a.opt.perturb, hPerturb, "0"),
    YN("CASESENS", a.opt.caseSensitive, "No"),
    YN("KZUNDO", a.opt.undo, "Yes"),
    YN("DISPALTE", a.opt.dispAlternates, "No"),
    YN("MISOBJEC", a.opt.misObjective, "No"),
    NUMH("INTPCT", kF64, 0, kInf, a.opt.intPct, hIntPct, "0"),
    NUM("MAXNODES", kI32, 0, kMax32, a.opt.maxNodes, "0"),
    NUM("COARSE", kF64, kTiny, kInf, a.opt.coarse, "1"),
    NUM("LTOLERAN", kF64, 0, kInf, a.opt.lTolerance, "5e-6"),
    YN("BASELOWE", a.opt.baseLower, "No"),
    NUMH("BVPRIORI", kI16, -kInf, kInf, a.opt.bvPriority, hBvPriority, "16000"),
    YN("IROUND", a.opt.iRound, "Yes"),
    NUM("UTOLERAN", kF64, 0, kInf, a.opt.uTolerance, "5e-6"),
    NUMH("TCTOLERA", kF64, 0, kInf, a.opt.tcTolerance, hTcTolerance, nullptr),
    NUM("WINDELAY", kI32, 0, kMax32, a.opt.winDelay, "0"),
    NUM("NONZEROS", kI32, 0, kMax32, a.opt.nonzeros, "8170"),
    YN0("VISIBLE", hVisible, nullptr),
    YN("STARTSOL", a.opt.startSol, "No"),
    {"DEBUG", Form::kYesNo, Store::kI16, 0, 4, AT(a.trace), 0, hDebug, "No", Show::kNumber, nullptr},
    YN("WINFRIEN", a.opt.winFriendly, "Yes"),
    NUMH("IBOUNDS", kF64, 0, kInf, a.opt.iBounds, hIBounds, "1"),
    YN("COPYDATA", a.opt.copyData, "No"),
    NUM("RNLEN", kI16, 0, 32000, a.opt.rowNameLen, "8"),
    NUM("CNLEN", kI16, 0, 32000, a.opt.colNameLen, "8"),
    YN("KZOK", a.opt.kzok, "No"),
    CHR("CMPRSNAM", a.out.compressChar, nullptr, "' '"),
    YN("LPTCRLF", a.opt.lptCrLf, "Yes"),
    NUM("NPAGECHA", kI16, 0, 255, a.opt.newPageChar, "12"),
    NUM("MATROW", kI32, 0, kMax32, a.opt.matRow, "0"),
    NUM("MATCOL", kI32, 0, kMax32, a.opt.matCol, "0"),
    NUM("CRASH", kI16, 0, 32000, a.opt.crash, "0"),
    YN("NULLTERM", a.opt.nullTerm, "Yes"),
    SPECIAL("DUALSIMP", kI16, a.opt.dualMode, hDualSimplex, "Yes", kNumber),
    LET("SORTNAME", a.opt.sortNames, "NYCRLW", "No"),
    NUMH("STICKWIT", kI16, 0, kInf, a.opt.stickWith, hStickWith, "20"),
    NUM("LBCOLUMN", kF64, -kInf, kInf, a.opt.lbColumn, "0"),
    NUM("UBCOLUMN", kF64, -kInf, kInf, a.opt.ubColumn, "1e23"),
    NUM("LBROW", kF64, -kInf, kInf, a.opt.lbRow, "-1e23"),
    NUM("UBROW", kF64, -kInf, kInf, a.opt.ubRow, "1e23"),
    NUM("FEASFLIP", kI32, 0, kMax32, a.opt.feasFlip, "40"),
    YN0("RESET", hReset, "No"),
    {"INDEXRAN", Form::kSpecial, Store::kI32, kMin32, 2000000000.0, AT(a.opt.indexFirst), 0, hIndexRange, "-1 -1",
     Show::kIndex, nullptr},
    YN("SAFEARRA", a.opt.safeArrays, "No"),
    YN("PASCAL", a.opt.pascal, "No"),
    YN("EXTENDIN", a.opt.extending, "No"),
    NUMH("MAXCPU", kI32, 0, kMax32, a.opt.maxCpu, hMaxCpu, "1"),
    SPECIAL("BARRIER", kI16, a.opt.barrier, hBarrier, "No", kNumber),
    NUMH("OBJWGT", kF64, 0, 100, a.opt.objWeight, hPercentAboveOne, "1e-9"),
    NUM("SPROUTS", kI16, 0, 32000, a.opt.sprouts, "0"),
    YNH("RUNNER", a.opt.runner, hRunner, "Yes"),
    YN("FEASDUAL", a.opt.feasDual, "No"),
    {"NETSOLVE", Form::kAny, Store::kI16, 0, 0, AT(a.opt.netSolver), 0, hNetSolver, "0", Show::kNumber, nullptr},
    NUM("NODELIMI", kI32, 0, kMax32, a.opt.nodeLimit, "2147483647"),
    NUM("BVTOLERA", kF64, 0, kInf, a.opt.bvTolerance, "1e-7"),
    NUM("SUMINFEA", kF64, 0, kInf, a.opt.sumInf, nullptr),
    NUMH("CBFREQUE", kI32, 0, kInf, a.opt.cbFrequencyMs, hCbFrequency, "0"),
    NUM("QPDIAGFA", kF64, 0, kInf, a.opt.qpDiag, "1"),
    NUM("WGTOBJEC", kF64, 0, kInf, a.opt.wgtObjective, "0"),
    NUM("SUMDUALI", kF64, 0, kInf, a.opt.sumDualInf, "0"),
    NUM("OBJINFCO", kF64, 0, kInf, a.opt.objInfCost, "1.23456789e-22"),
    NUMH("SIMSOLVE", kI32, 0, kMax32, a.opt.simSolve, hSimSolve, "0"),
    YN("MIPBASIS", a.opt.mipBasis, "No"),
    SPECIAL("LUMEMORY", kF64, a.opt.luFactor[0], hLuMemory, "4/3.5", kLuMemory),
    YN("STARTEQU", a.opt.startEquations, "No"),
    NUM("PREPASSE", kI32, 0, kMax32, a.opt.prepass, "2"),
    SPECIAL("PARTSOLV", kI16, a.opt.partSolve, hPartSolve, "N", kNumber),
    NUM("SPEED", kI32, -1, kMax32, a.opt.speed, "-1"),
    SPECIAL("SOLVEDUA", kI16, a.opt.solveDual, hSolveDual, "N", kNumber),
    SPECIAL("SOLVECOM", kI16, a.opt.solveCom, hSolveCom, "N", kNumber),
    YN("SWAPDEGC", a.opt.swapDegenerate, "No"),
    NUMH("UBBOUND", kF64, 0, kInf, a.opt.ubBound, hUbBound, "16777216"),
    NUMH("HASHLENG", kI32, kMin32, kMax32, a.opt.hashLength, hHashLength, "3"),
};

constexpr Keyword kTolerance[] = {
    NUMH("PRIMAL", kF64, 0, kInf, a.opt.xToZero, hTolPrimal, "1e-8"),
    NUMH("DUAL", kF64, 0, kInf, a.opt.reducedCost, hTolDual, "1e-7"),
    NUM("STOP1", kF64, 0, kInf, a.opt.ipStop1, "1e-8"),
    NUM("STOP2", kF64, 0, kInf, a.opt.ipStop2, "1e-20"),
    NUM("DENSITY", kF64, -kInf, kInf, a.opt.ipDensity, "1e-5"),
    NUM("PSTEPLEN", kF64, -kInf, kInf, a.opt.ipPStep, "0.999"),
    NUM("DSTEPLEN", kF64, -kInf, kInf, a.opt.ipDStep, "0.999"),
    NUMH("REFINEM", kI32, kMin32, kMax32, a.opt.ipRefine, hWhole, "5"),
    NUMH("SREFINEM", kI32, kMin32, kMax32, a.opt.simplexRefine, hWhole, "0"),
    NUM("ORDER", kI16, 0, kMax16, a.opt.ipOrder, "0"),
    NUM("APRXBOUN", kF64, 0, kInf, a.opt.aprxBound, "1"),
};

static_assert(sizeof kMain / sizeof kMain[0] == 87, "the main table has 87 keywords");
static_assert(sizeof kSet / sizeof kSet[0] == 108, "the Set table has 108 keywords");
static_assert(sizeof kTolerance / sizeof kTolerance[0] == 11, "the Set Tolerance table has 11 keywords");

}  // namespace

const Keyword* mainTable(int* count) {
  *count = static_cast<int>(sizeof kMain / sizeof kMain[0]);
  return kMain;
}

const Keyword* setTable(int* count) {
  *count = static_cast<int>(sizeof kSet / sizeof kSet[0]);
  return kSet;
}

const Keyword* toleranceTable(int* count) {
  *count = static_cast<int>(sizeof kTolerance / sizeof kTolerance[0]);
  return kTolerance;
}

}  // namespace kz::clp
