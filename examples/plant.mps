* A small production plan: two plants, three products, one market row each.
NAME          PLANT
ROWS
 N  COST
 L  CAPA
 L  CAPB
 G  MKT1
 G  MKT2
 G  MKT3
 E  BAL
COLUMNS
    XA1       COST         4.0   CAPA         1.0
    XA1       MKT1         1.0   BAL          1.0
    XA2       COST         5.0   CAPA         2.0
    XA2       MKT2         1.0
    XA3       COST         3.0   CAPA         1.5
    XA3       MKT3         1.0   BAL         -1.0
    XB1       COST         6.0   CAPB         1.0
    XB1       MKT1         1.0
    XB2       COST         3.5   CAPB         1.0
    XB2       MKT2         1.0   BAL          1.0
    XB3       COST         4.5   CAPB         2.0
    XB3       MKT3         1.0
RHS
    RHS       CAPA        80.0   CAPB        90.0
    RHS       MKT1        20.0   MKT2        30.0
    RHS       MKT3        25.0   BAL          0.0
BOUNDS
 UP BND       XA1         40.0
 UP BND       XB2         25.0
ENDATA
