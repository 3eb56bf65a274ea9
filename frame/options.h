// Option values of a model area. Every setting that the option command
// language can change lives here (or, for the output channel's own switches,
// in OutputChannel); the keyword table of frame/clp_table.cpp declares each
// one with its value form, range and default. The member initialisers are
// the template a new area starts from; KZINIT's default lines then set the
// rest (MaxCpu, MultiSolver, DualSimplex, HashLength, Prepass, Basis, ...).
//
// Names and short texts are stored blank-padded to their width; file names
// and long texts are stored zero-terminated.
#pragma once
#include <cmath>
#include <cstdint>

namespace kz {

// 2 * eps^(5/6) with eps = 2^-52: the entry tolerance (Set TRANENTR).
inline double defaultTranEntry() { return 2.0 * std::pow(std::ldexp(1.0, -52), 5.0 / 6.0); }

// Cursors of the option parser over the command buffer: start of the current
// token, one past its end, last character of the buffer. They are parser
// state, not settings: two Options compare equal whatever their cursors.
struct ClpCursor {
  int16_t start = 0;
  int16_t end = 0;
  int16_t last = 0;
  bool operator==(const ClpCursor&) const { return true; }
};

constexpr int kMemBasisNames = 32;  // in-memory bases created by name (Basis .name)
constexpr int kClpFile = 257;       // file names: 256 characters and the zero
constexpr int kClpList = 257;       // parenthesised lists: 256 characters and the zero

// Strategy flags (Strategy).
constexpr uint16_t kStrategyA = 1;
constexpr uint16_t kStrategyB = 2;
constexpr uint16_t kStrategyF = 4;
constexpr uint16_t kStrategyJ = 8;
constexpr uint16_t kStrategyX = 16;

// Presolve base patterns and the "off" word.
constexpr int32_t kPresolveBase = 10207;
constexpr int32_t kMPresolveBase = 14335;
constexpr int32_t kBPresolveBase = 8447;
constexpr int32_t kPresolveOff = 2048;

struct Options {
  // ---- run-time defaults that KZINIT sets before the first option line ----
  double machineEps = 0.0;       // 2^-52 once KZINIT has run
  char basisFile[kClpFile] = {}; // BASIS file; "NEVER": no basis file
  char currentDir[257] = {};     // "./"
  char workFile[9] = {};         // "WORK0001"
  char runName[9] = {};          // "RUNTIME"
  char defaultClp[9] = "KZ";     // default option-file name
  int32_t systemProcessors = 1;  // processors the system reports
  int16_t waits = 0;             // WAITS of the current destination: KZDONE shows its time summary

  ClpCursor cursor;

  // ---- main keywords ----
  char spreadsheet[3] = "wk";          // SPREADSH
  int32_t basisCount = 0;              // BASIS +n: in-memory bases "1".."n"
  char basisCurrent[9] = "        ";   // BASIS .name: the current in-memory basis
  char basisNames[kMemBasisNames][9] = {};  // bases created by name
  int16_t basisNameCount = 0;
  int16_t solution = 1;                // SOLUTION
  int16_t costAnalysis = 0;            // COSTANAL
  int16_t marginalAnalysis = 0;        // MARGINAN
  int16_t strategy = 1;                // STRATEGY number
  uint16_t strategyFlags = 0;          // kStrategy* bits
  char strategyNode = ' ';             // node-selection letter: C, D or G
  char strategyBranch = ' ';           // branching letter: P
  int16_t strategySubCount = 0;        // H: count for the parallel sub-models
  char strategySubList[kClpList] = {}; // H: the parenthesised line for them
  int16_t european = 0;                // EUROPEAN
  char workDir[kClpFile] = {};         // WORK1FIL
  int32_t stopUnchanged = 2000000001;  // STOPUNCH, seconds
  char outputFile[kClpFile] = "CON:";   // OUTPUTS, as given ("CON:": the window)
  int16_t matList = 1;                 // MATLIST: 1 none, 2 equations, 4 constraints, 6 both, +8/16/24
  char paramName[2][24] = {"                       ", "                       "};  // PARAMETR
  int16_t paramFlags = 0;              // 1: first name set, 2: second, 3: both
  double paramValue[3] = {0.0, 0.0, 0.0};
  int32_t paramBracket = 0;            // the names were given in parentheses
  int32_t symbolic = 20;               // SYMBOLIC
  char probSave[kClpFile] = {};        // PROBSAVE
  int16_t fieldSize = 11;              // FIELDSIZ
  int16_t decimals = 5;                // DECIMALS
  int16_t reportField = 115;           // FIELDSIZ * 10 + DECIMALS
  int16_t defaults = 0;                // DEFAULTS
  char probUse[kClpFile] = {};         // PROBUSE
  char activityFile[kClpFile] = {};    // ACTIVITY
  int32_t activityMask[2] = {511, 1023};
  int16_t mute = 0;                    // MUTE: 0 no, 1 yes, 2 window muted too
  char commentChar = '*';              // COMMENTS (1: none)
  int32_t copies = 1;                  // COPIES
  int16_t priority = 0;                // PRIORITY flags
  int16_t toMps = 0;                   // TOMPS
  int16_t toMpsS = 0;                  // TOMPS S
  char view[2][8] = {"       ", "       "};  // VIEW
  int16_t maximize = 0;                // MAXIMIZE
  char mpsObjective[9] = "?       ";   // OBJECTIV
  char mpsRhs[9] = "?       ";         // RHS
  char mpsBounds[9] = "?       ";      // BOUNDS
  char mpsRanges[9] = "?       ";      // RANGES
  int16_t constraints = 1;             // CONSTRAI
  char varMasks[262] = "*";            // VARMASKS
  char conMasks[262] = "*";            // CONMASKS
  int16_t mpsxSolution = 0;            // MPSXSOLU
  int16_t limitMode = 1;               // LIMITSEA: 1 none, 2 bounds, 3 percent
  double limitLow = -1e200;
  double limitHigh = 1e200;
  double limitBracket = 0.0;
  char delimiter = ',';                // DELIMITE
  int16_t vectors = 0;                 // VECTORS
  int16_t conflict = 0;                // CONFLICT and FORCE: 0, 1, 2
  int32_t stopAfter = 2000000001;      // STOPAFTE, seconds
  int16_t polling = 1;                 // POLLING (ONEKEYLP the reverse)
  int16_t gams = 0;                    // GAMS
  int16_t genInteger = 1;              // GENINTEG
  char zzActivity[kClpFile] = {};      // ZZACTIVI
  int16_t sos = 1;                     // SOS
  int16_t alternates = 0;              // ALTERNAT
  int16_t toRcc = 0;                   // TORCC
  char errorMsgFile[kClpFile] = "kz";  // ERRORMSG
  char modelFile[kClpFile] = {};       // the model file, as built (default extension lp)
  char fileName[kClpFile] = {};        // FILENAME: the model file without directory and extension
  int16_t modelIsMps = 0;              // the model file's extension is MPS
  int16_t modelIsLts = 0;              // an LTS file
  char language[8] = "ENGLISH";        // LANGUAGE
  int16_t treeDepth = 0;               // TREEDEPT
  int32_t treeTime = 0;                // TREETIME, seconds
  int16_t colAnalysis = 0;             // COLANALY
  int16_t reportZero = 1;              // RPRTZERO
  int32_t presolve = kPresolveBase | kPresolveOff;  // PRESOLVE (12255)
  int32_t stopNode = 300;              // STOPNODE, seconds
  int32_t extraMem = -1;               // EXTRAMEM, bytes
  int16_t sigBits = -1;                // SIGBITS
  char deactivate[512] = {};           // DEACTIVA
  int16_t valMipIncumbent = 0;         // VALMIPIN
  int32_t knapsack = 0;                // KNAPREDU
  double mipFixed = 0.1;               // MIPFIXED
  double mipFract = 0.2;               // MIPFRACT
  int16_t multiSolver = 0;             // MULTISOL (KZINIT's "MultiSolver X" makes it -1)
  char multiSolverList[kClpList] = {};
  int32_t mPresolve = kMPresolveBase;  // MPRESOLV
  int32_t bPresolve = kBPresolveBase;  // BPRESOLV
  int16_t unscaledSolution = 0;        // UNSCLSOL
  int16_t developer = 0;               // DEVELOPE

  // ---- Set keywords ----
  int32_t iterations = 2147483647;     // ITERATIO
  int16_t reinvert = 200;              // REINVERT
  double yPivot = 1e-10;               // YPIVOT
  double xToZero = 1e-8;               // XTOZERO = Set Tolerance Primal
  double reducedCost = -1e-7;          // REDUCEDC = -(Set Tolerance Dual)
  double elemSize = 1e-12;             // ELEMSIZE
  double tranEntry = defaultTranEntry();  // TRANENTR
  double rejPivot = 1e-6;              // REJPIVOT
  int16_t subOptimal = 1;              // SUBOPTIM
  int32_t timeLimit = 2147483647;      // TIMELIMI, seconds
  double partialPricing = 0.0;         // PARTIALP, percent
  int16_t sensitivity = 1;             // SENSITIV
  int16_t qcCheck = 1;                 // QC_CHECK
  int32_t maxColumns = 2000000000;     // COLUMNS
  int32_t maxRows = 2000000003;        // ROWS (value + 3)
  int32_t nonzeros = 8170;             // UNIQUE_C and NONZEROS
  int32_t etaCoef = 2147483647;        // ETA_COEF
  int16_t pricing = 3;                 // PRICING
  int16_t mpsxCompatible = 0;          // MPSXCOMP
  int16_t actHeader = 1;               // ACTHEADE
  int16_t bell = 1;                    // BELL
  double markowitz = 0.25;             // MARKOWIT
  int16_t scale = 1;                   // SCALE
  int16_t scaleFlag = 0;               // SCALE ...O
  int32_t freqLogMode = -1;            // FREQLOG: n iterations; 1 / -1 by time
  int32_t freqLogInterval = 1;         // FREQLOG seconds
  int16_t depFree = 0;                 // DEPFREE
  int32_t depthWidth = 0;              // DEPTHWID
  int16_t storeZeros = 0;              // STOREZER
  int32_t mPrice = 0;                  // MPRICE
  int32_t degenIter = 0;               // DEGENITE
  int32_t intLimit = 2147483647;       // INTLIMIT
  double intGap = 0.0;                 // INTGAP
  int16_t relaxed = 0;                 // RELAXED
  int32_t basisMem = 0;                // BASISMEM
  int16_t restart = 1;                 // RESTART
  double perturb = 0.0;                // PERTURBA
  int16_t perturbNonZero = 0;
  int16_t perturbSign = 0;
  int16_t caseSensitive = 0;           // CASESENS
  int16_t undo = 1;                    // KZUNDO
  int16_t dispAlternates = 0;          // DISPALTE
  int16_t misObjective = 0;            // MISOBJEC
  double intPct = 0.0;                 // INTPCT, as a fraction
  int32_t maxNodes = 0;                // MAXNODES
  double coarse = 1.0;                 // COARSE
  double lTolerance = 5e-6;            // LTOLERAN
  int16_t baseLower = 0;               // BASELOWE
  int16_t bvPriority = 16000;          // BVPRIORI
  int16_t iRound = 1;                  // IROUND
  double uTolerance = 5e-6;            // UTOLERAN
  double tcTolerance = 1e-10;          // TCTOLERA
  int32_t winDelay = 0;                // WINDELAY
  int16_t startSol = 0;                // STARTSOL
  int16_t winFriendly = 1;             // WINFRIEN
  double iBounds = 1.0;                // IBOUNDS
  int16_t copyData = 0;                // COPYDATA
  int16_t rowNameLen = 8;              // RNLEN
  int16_t colNameLen = 8;              // CNLEN
  int16_t kzok = 0;                    // KZOK
  int16_t lptCrLf = 1;                 // LPTCRLF
  int16_t newPageChar = 12;            // NPAGECHA
  int32_t matRow = 0;                  // MATROW
  int32_t matCol = 0;                  // MATCOL
  int16_t crash = 0;                   // CRASH
  int16_t nullTerm = 1;                // NULLTERM
  int16_t dualMode = 0;                // DUALSIMP mode (KZINIT's line makes it 1)
  int16_t dualAllowed = 0;             // DUALSIMP permission (cleared by /N)
  int16_t sortNames = 0;               // SORTNAME
  int16_t stickWith = 20;              // STICKWIT
  double lbColumn = 0.0;               // LBCOLUMN
  double ubColumn = 1e23;              // UBCOLUMN
  double lbRow = -1e23;                // LBROW
  double ubRow = 1e23;                 // UBROW
  int32_t feasFlip = 40;               // FEASFLIP
  int32_t indexFirst = -1;             // INDEXRAN
  int32_t indexLast = -1;
  int16_t safeArrays = 0;              // SAFEARRA
  int16_t pascal = 0;                  // PASCAL
  int16_t extending = 0;               // EXTENDIN
  int32_t maxCpu = 0;                  // MAXCPU (KZINIT's line makes it 1)
  int16_t barrier = 0;                 // BARRIER: 0, 1, 2
  double objWeight = 1e-9;             // OBJWGT
  int16_t sprouts = 0;                 // SPROUTS
  int16_t runner = 1;                  // RUNNER
  int16_t parallel2 = 1;               // second parallel switch
  int16_t feasDual = 0;                // FEASDUAL
  int16_t netSolver = 0;               // NETSOLVE
  int32_t nodeLimit = 2147483647;      // NODELIMI
  double bvTolerance = 1e-7;           // BVTOLERA
  double sumInf = -1.0;                // SUMINFEA (-1: not set)
  int32_t cbFrequencyMs = 0;           // CBFREQUE, milliseconds
  double qpDiag = 1.0;                 // QPDIAGFA
  double wgtObjective = 0.0;           // WGTOBJEC
  double sumDualInf = 0.0;             // SUMDUALI
  double objInfCost = 1.23456789e-22;  // OBJINFCO (this value: not set)
  int32_t simSolve = 0;                // SIMSOLVE
  int16_t mipBasis = 0;                // MIPBASIS
  double luFactor[2] = {4.0, 3.5};     // LUMEMORY
  int16_t startEquations = 0;          // STARTEQU
  int32_t prepass = 0;                 // PREPASSE (KZINIT's line makes it 2)
  int16_t partSolve = 0;               // PARTSOLV
  char partSolveList[kClpList] = {};
  int32_t speed = -1;                  // SPEED
  int16_t solveDual = 0;               // SOLVEDUA
  char solveDualList[kClpList] = {};
  int16_t solveCom = 0;                // SOLVECOM
  char solveComList[kClpList] = {};
  int16_t swapDegenerate = 0;          // SWAPDEGC
  double ubBound = 16777216.0;         // UBBOUND
  int32_t hashLength = 0;              // HASHLENG (KZINIT's line makes it 3)

  // ---- Set Tolerance ----
  double ipStop1 = 1e-8;               // STOP1
  double ipStop2 = 1e-20;              // STOP2
  double ipDensity = 1e-5;             // DENSITY
  double ipPStep = 0.999;              // PSTEPLEN
  double ipDStep = 0.999;              // DSTEPLEN
  int32_t ipRefine = 5;                // REFINEM
  int32_t simplexRefine = 0;           // SREFINEM
  int16_t ipOrder = 0;                 // ORDER
  double aprxBound = 1.0;              // APRXBOUN

  bool operator==(const Options&) const = default;
};

}  // namespace kz
