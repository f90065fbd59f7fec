-- bench_rows: 1,048,576 generated rows for benchmarks (one seed row doubled twenty times).
create table bench_rows (id int not null, name varchar(30) not null, created datetime not null,
    amount money not null)
go
insert bench_rows values (1, "row 1", "Jan 1 2020 12:00AM", 0.01)
go
declare @n int, @top int
select @n = 0
while @n < 20
begin
    select @top = max(id) from bench_rows
    insert bench_rows select id + @top, "row " + convert(varchar(10), id + @top),
        dateadd(minute, id + @top, "Jan 1 2020"), (id + @top) * 0.01
    from bench_rows
    select @n = @n + 1
end
go
delete bench_rows where id > 1000000
go
